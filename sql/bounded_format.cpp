#include "sql/bounded_format.h"

#include <sqlite3.h>

#include <map>
#include <string>

#include "sql/sql_engine.h"

namespace lgoty::sql {

namespace {

// The built-in functions on a connection that has nothing else, one prepared statement
// per function and argument count.
class TBuiltinFormat {
 public:
  explicit TBuiltinFormat(int max_length) : max_length_(max_length) {}
  ~TBuiltinFormat() {
    for (auto& [key, stmt] : statements_) sqlite3_finalize(stmt);
    sqlite3_close(db_);
  }
  TBuiltinFormat(const TBuiltinFormat&) = delete;
  TBuiltinFormat& operator=(const TBuiltinFormat&) = delete;

  int MaxLength() const { return max_length_; }

  void Call(sqlite3_context* ctx, const char* name, int argc, sqlite3_value** argv) {
    // The private connection is opened by the first call: most queries format nothing.
    if (db_ == nullptr) {
      if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                          nullptr) != SQLITE_OK) {
        sqlite3_close(db_);
        db_ = nullptr;
        sqlite3_result_error_nomem(ctx);
        return;
      }
      sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, max_length_);
    }
    sqlite3_stmt*& stmt = statements_[std::string(name) + "/" + std::to_string(argc)];
    if (stmt == nullptr) {
      std::string sql = std::string("SELECT ") + name + "(";
      for (int i = 0; i < argc; ++i) sql += (i ? ",?" : "?");
      sql += ")";
      if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_result_error(ctx, sqlite3_errmsg(db_), -1);
        stmt = nullptr;
        return;
      }
    }
    for (int i = 0; i < argc; ++i) sqlite3_bind_value(stmt, i + 1, argv[i]);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
      sqlite3_result_value(ctx, sqlite3_column_value(stmt, 0));
    } else {
      sqlite3_result_error(ctx, sqlite3_errmsg(db_), -1);
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
  }

 private:
  sqlite3* db_ = nullptr;
  int max_length_;
  std::map<std::string, sqlite3_stmt*> statements_;
};

// Reads a decimal number of the format at pos; saturates far above any limit.
long long ReadCount(const unsigned char* text, int& pos) {
  long long n = 0;
  while (text[pos] >= '0' && text[pos] <= '9') {
    if (n < (1LL << 40)) n = n * 10 + (text[pos] - '0');
    ++pos;
  }
  return n;
}

// Whether every width and precision of the format, written or taken from an argument,
// is within max; argument numbers follow the built-in's order (each "*" takes the next one,
// then the conversion does).
bool WidthsWithin(sqlite3_value** argv, int argc, long long max) {
  const unsigned char* format = sqlite3_value_text(argv[0]);
  if (format == nullptr) return true;
  int next = 1;
  auto star = [&]() -> long long {
    if (next >= argc) return 0;
    const long long n = sqlite3_value_int64(argv[next++]);
    return n < 0 ? -n : n;
  };
  for (int pos = 0; format[pos] != 0;) {
    if (format[pos++] != '%') continue;
    if (format[pos] == '%') {
      ++pos;
      continue;
    }
    while (format[pos] != 0 && std::string_view("-+ #0!,").find(static_cast<char>(format[pos])) !=
                                   std::string_view::npos) {
      ++pos;
    }
    long long width = 0;
    if (format[pos] == '*') {
      ++pos;
      width = star();
    } else {
      width = ReadCount(format, pos);
    }
    long long precision = 0;
    if (format[pos] == '.') {
      ++pos;
      if (format[pos] == '*') {
        ++pos;
        precision = star();
      } else {
        precision = ReadCount(format, pos);
      }
    }
    if (width > max || precision > max) return false;
    while (format[pos] == 'l') ++pos;
    if (format[pos] == 0) break;
    ++pos;  // the conversion letter takes its argument
    ++next;
  }
  return true;
}

template <const char* kName>
void BoundedFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  auto* builtin = static_cast<TBuiltinFormat*>(sqlite3_user_data(ctx));
  if (argc >= 1 && !WidthsWithin(argv, argc, builtin->MaxLength())) {
    sqlite3_result_error_toobig(ctx);
    return;
  }
  builtin->Call(ctx, kName, argc, argv);
}

constexpr char kPrintf[] = "printf";
constexpr char kFormat[] = "format";

void Destroy(void* builtin) { delete static_cast<TBuiltinFormat*>(builtin); }

}  // namespace

void RegisterBoundedFormat(sqlite3* db, int max_length) {
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  for (const char* name : {kPrintf, kFormat}) {
    auto* builtin = new TBuiltinFormat(max_length);
    const int rc = sqlite3_create_function_v2(
        db, name, -1, kFlags, builtin,
        name == kPrintf ? BoundedFormat<kPrintf> : BoundedFormat<kFormat>, nullptr, nullptr,
        Destroy);
    // On failure SQLite has already called Destroy.
    if (rc != SQLITE_OK) throw ESqlError(sqlite3_errmsg(db));
  }
}

}  // namespace lgoty::sql
