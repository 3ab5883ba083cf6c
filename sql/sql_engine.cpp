#include "sql/sql_engine.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <system_error>

#include "core/locale.h"
#include "platform/folder.h"
#include "platform/system.h"
#include "sql/bounded_format.h"
#include "sql/collation.h"
#include "sql/dbf_vtable.h"

namespace lgoty::sql {

namespace {

// Longest text or blob a statement may make; keeps a runaway expression from taking all
// memory before its budget is spent.
constexpr int kMaxValueLength = 64 * 1024 * 1024;
// Progress handler period, in virtual machine steps.
constexpr int kProgressSteps = 4096;

const char* RefusedWhat(int action) {
  switch (action) {
    case SQLITE_INSERT: return "INSERT";
    case SQLITE_UPDATE: return "UPDATE";
    case SQLITE_DELETE: return "DELETE";
    case SQLITE_CREATE_INDEX: case SQLITE_CREATE_TABLE: case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_CREATE_TEMP_TABLE: case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_CREATE_TEMP_VIEW: case SQLITE_CREATE_TRIGGER: case SQLITE_CREATE_VIEW:
    case SQLITE_CREATE_VTABLE:
      return "CREATE";
    case SQLITE_DROP_INDEX: case SQLITE_DROP_TABLE: case SQLITE_DROP_TEMP_INDEX:
    case SQLITE_DROP_TEMP_TABLE: case SQLITE_DROP_TEMP_TRIGGER: case SQLITE_DROP_TEMP_VIEW:
    case SQLITE_DROP_TRIGGER: case SQLITE_DROP_VIEW: case SQLITE_DROP_VTABLE:
      return "DROP";
    case SQLITE_ATTACH: return "ATTACH";
    case SQLITE_DETACH: return "DETACH";
    case SQLITE_PRAGMA: return "PRAGMA";
    case SQLITE_TRANSACTION: return "BEGIN, COMMIT and ROLLBACK";
    case SQLITE_SAVEPOINT: return "SAVEPOINT";
    case SQLITE_ALTER_TABLE: return "ALTER";
    case SQLITE_REINDEX: return "REINDEX";
    case SQLITE_ANALYZE: return "ANALYZE";
    default: return "This statement";
  }
}

std::string RefusalText(std::string_view what) {
  return std::string(what) + " is not allowed: a query may only read the tables of the folder";
}

// Skips blanks, ";" and comments; returns the position of the first other character.
size_t SkipToNextStatement(std::string_view text, size_t pos) {
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' || c == ';') {
      ++pos;
    } else if (text.substr(pos, 2) == "--") {
      const size_t end = text.find('\n', pos);
      pos = end == std::string_view::npos ? text.size() : end + 1;
    } else if (text.substr(pos, 2) == "/*") {
      const size_t end = text.find("*/", pos + 2);
      pos = end == std::string_view::npos ? text.size() : end + 2;
    } else {
      break;
    }
  }
  return pos;
}

// The statement's first word when it names a kind of statement that is refused, else "".
std::string RefusedStatementWord(std::string_view sql) {
  size_t end = 0;
  while (end < sql.size() && ((sql[end] >= 'A' && sql[end] <= 'Z') ||
                              (sql[end] >= 'a' && sql[end] <= 'z'))) {
    ++end;
  }
  const std::string word = core::UpperCase(sql.substr(0, end));
  static constexpr std::string_view kRefused[] = {
      "INSERT", "REPLACE", "UPDATE", "DELETE", "CREATE", "DROP", "ALTER", "ATTACH", "DETACH",
      "PRAGMA", "REINDEX", "ANALYZE", "VACUUM", "BEGIN", "COMMIT", "END", "ROLLBACK",
      "SAVEPOINT", "RELEASE"};
  for (std::string_view refused : kRefused) {
    if (word == refused) return word;
  }
  return {};
}

bool IsTableFile(const std::string& name) {
  return core::SameText(platform::ExtractFileExt(name), ".dbf");
}

}  // namespace

std::string TStatementBudget::ExceededText() const {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", seconds_);
  return std::string("The query was stopped: it ran longer than its time limit of ") + seconds +
         " s";
}

// ---- TSqlStatement -------------------------------------------------------------------------

TSqlStatement::~TSqlStatement() {
  engine_.budget_.Stop();
  sqlite3_finalize(stmt_);
}

int TSqlStatement::ParameterCount() const { return sqlite3_bind_parameter_count(stmt_); }

void TSqlStatement::CheckBind(int rc) {
  if (rc != SQLITE_OK) throw ESqlError(sqlite3_errmsg(engine_.db_));
}

void TSqlStatement::BindNull(int index) { CheckBind(sqlite3_bind_null(stmt_, index)); }
void TSqlStatement::BindInt64(int index, int64_t value) {
  CheckBind(sqlite3_bind_int64(stmt_, index, value));
}
void TSqlStatement::BindDouble(int index, double value) {
  CheckBind(sqlite3_bind_double(stmt_, index, value));
}
void TSqlStatement::BindText(int index, std::string_view utf8) {
  CheckBind(sqlite3_bind_text64(stmt_, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT,
                                SQLITE_UTF8));
}
void TSqlStatement::BindBlob(int index, std::string_view bytes) {
  CheckBind(sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT));
}

void TSqlStatement::StartBudget(double seconds) { engine_.budget_.Start(seconds); }
bool TSqlStatement::BudgetExpired() const { return engine_.budget_.Expired(); }
std::string TSqlStatement::BudgetExceededText() const {
  return engine_.budget_.ExceededText();
}

bool TSqlStatement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  if (rc == SQLITE_INTERRUPT && engine_.budget_.Expired()) {
    throw ESqlError(engine_.budget_.ExceededText());
  }
  throw ESqlError(sqlite3_errmsg(engine_.db_));
}

int TSqlStatement::ColumnCount() const { return sqlite3_column_count(stmt_); }

std::string TSqlStatement::ColumnName(int column) const {
  const char* name = sqlite3_column_name(stmt_, column);
  return name ? name : "";
}

std::string TSqlStatement::ColumnDeclType(int column) const {
  const char* type = sqlite3_column_decltype(stmt_, column);
  return type ? type : "";
}

int TSqlStatement::ColumnType(int column) const { return sqlite3_column_type(stmt_, column); }
int64_t TSqlStatement::ColumnInt64(int column) const {
  return sqlite3_column_int64(stmt_, column);
}
double TSqlStatement::ColumnDouble(int column) const {
  return sqlite3_column_double(stmt_, column);
}

std::string_view TSqlStatement::ColumnText(int column) const {
  if (sqlite3_column_type(stmt_, column) == SQLITE_TEXT) {
    // The database is UTF-8, so a text value's bytes are its UTF-8 text as they stand;
    // reading them as a blob spares SQLite adding a terminator, which reallocates the value.
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    if (!bytes) return {};
    return {bytes, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
  }
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (!text) return {};
  return {text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

TSqlStatement::TStoredValue TSqlStatement::ColumnStored(int column) const {
  // The connection is opened without mutexes, so the value SQLite hands out here may be read
  // directly (a protected and an unprotected value are then the same).
  sqlite3_value* value = sqlite3_column_value(stmt_, column);
  TStoredValue stored;
  stored.type = sqlite3_value_type(value);
  switch (stored.type) {
    case SQLITE_INTEGER:
      stored.integer = sqlite3_value_int64(value);
      break;
    case SQLITE_FLOAT:
      stored.real = sqlite3_value_double(value);
      break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      // A text's bytes are its UTF-8 text as they stand: the database is UTF-8.
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
      if (bytes) stored.bytes = {bytes, static_cast<size_t>(sqlite3_value_bytes(value))};
      break;
    }
    default:
      break;
  }
  return stored;
}

std::string_view TSqlStatement::ColumnBlob(int column) const {
  const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
  if (!blob) return {};
  return {blob, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

// ---- TSqlEngine ----------------------------------------------------------------------------

TSqlEngine::TSqlEngine(std::string folder) : folder_(std::move(folder)) {
  if (!platform::DirectoryExists(folder_)) {
    throw ESqlError("The folder \"" + folder_ + "\" does not exist");
  }
  const int rc = sqlite3_open_v2(":memory:", &db_,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                     SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE,
                                 nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw ESqlError("Cannot open the query database: " + message);
  }
  try {
    sqlite3_extended_result_codes(db_, 0);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_limit(db_, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, kMaxValueLength);
    TSortKeyCache* keys = RegisterLocaleFunctions(db_, &budget_);
    RegisterDbfModule(db_, &budget_, keys);
    RegisterBoundedFormat(db_, kMaxValueLength);
    sqlite3_set_authorizer(db_, &TSqlEngine::Authorize, this);
    sqlite3_progress_handler(db_, kProgressSteps, &TSqlEngine::Progress, this);
    SyncTables();
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

TSqlEngine::~TSqlEngine() { sqlite3_close(db_); }

int TSqlEngine::Authorize(void* self, int action, const char*, const char*, const char*,
                          const char*) {
  auto* engine = static_cast<TSqlEngine*>(self);
  if (engine->setup_) return SQLITE_OK;
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
      return SQLITE_OK;
    default:
      if (engine->refusal_.empty()) engine->refusal_ = RefusalText(RefusedWhat(action));
      return SQLITE_DENY;
  }
}

int TSqlEngine::Progress(void* self) {
  return static_cast<TSqlEngine*>(self)->budget_.Expired() ? 1 : 0;
}

void TSqlEngine::ExecInternal(const std::string& sql) {
  setup_ = true;
  char* message = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
  setup_ = false;
  if (rc != SQLITE_OK) {
    std::string text = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    throw ESqlError(text);
  }
}

void TSqlEngine::SyncTables() {
  std::map<std::string, std::string> found;  // lower-case name -> path
  std::map<std::string, std::string> names;  // lower-case name -> name as in the folder
  std::error_code error;
  std::vector<std::string> files = platform::FilesInFolder(folder_, error);
  if (error) throw ESqlError("The folder \"" + folder_ + "\" cannot be read: " + error.message());
  std::sort(files.begin(), files.end());
  const std::string prefix = folder_.empty() || folder_.back() == '/' ? folder_ : folder_ + '/';
  for (const std::string& file : files) {
    if (!IsTableFile(file)) continue;
    const std::string name = platform::ChangeFileExt(file, "");
    const std::string key = core::LowerCase(name);
    // SQLite's own names, and a second file whose name differs only in letter case.
    if (name.empty() || key.rfind("sqlite_", 0) == 0 || found.count(key)) continue;
    found[key] = prefix + file;
    names[key] = name;
  }
  for (auto it2 = tables_.begin(); it2 != tables_.end();) {
    const std::string key = core::LowerCase(it2->first);
    auto now = found.find(key);
    if (now == found.end() || now->second != it2->second) {
      std::string quoted;
      for (char c : it2->first) {
        if (c == '"') quoted += '"';
        quoted += c;
      }
      ExecInternal("DROP TABLE \"" + quoted + "\"");
      it2 = tables_.erase(it2);
    } else {
      ++it2;
    }
  }
  for (const auto& [key, path] : found) {
    const std::string& name = names[key];
    bool present = false;
    for (const auto& entry : tables_) {
      if (core::LowerCase(entry.first) == key) present = true;
    }
    if (present) continue;
    // A file that is no table never reaches SQLite: a failed CREATE VIRTUAL TABLE would
    // leave the schema to be read again under the authorizer.
    const std::string problem = CheckDbfTable(path);
    if (!problem.empty()) {
      unreadable_[key] = problem;
      continue;
    }
    try {
      ExecInternal(CreateDbfTableSql(name, path));
      tables_[name] = path;
      unreadable_.erase(key);
    } catch (const ESqlError& e) {
      // Not a table this engine can read; a statement naming it is told why.
      unreadable_[key] = e.Message();
    }
  }
}

std::unique_ptr<TSqlStatement> TSqlEngine::Prepare(std::string_view sql) {
  SyncTables();
  sql.remove_prefix(SkipToNextStatement(sql, 0));
  // Refused by its first word before SQLite sees it: some statements (REINDEX of a schema
  // without indexes) reach neither the authorizer nor count as writing.
  if (const std::string word = RefusedStatementWord(sql); !word.empty()) {
    throw ESqlError(RefusalText(word));
  }
  refusal_.clear();
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  if (sql.size() > static_cast<size_t>(sqlite3_limit(db_, SQLITE_LIMIT_SQL_LENGTH, -1))) {
    throw ESqlError("The SQL text is too long");
  }
  const int rc = sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), 0, &stmt,
                                    &tail);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    std::string message = sqlite3_errmsg(db_);
    // The authorizer sees the schema table's INSERT before CREATE, and a table without
    // write support answers UPDATE and DELETE itself: the statement's own word says best
    // what was refused.
    if (!refusal_.empty() || message.find("may not be modified") != std::string::npos) {
      const std::string word = RefusedStatementWord(sql);
      throw ESqlError(word.empty() ? (refusal_.empty() ? RefusalText("This statement") : refusal_)
                                   : RefusalText(word));
    }
    static constexpr std::string_view kNoSuchTable = "no such table: ";
    if (message.rfind(kNoSuchTable, 0) == 0) {
      auto bad = unreadable_.find(core::LowerCase(message.substr(kNoSuchTable.size())));
      if (bad != unreadable_.end()) {
        throw ESqlError("The table \"" + message.substr(kNoSuchTable.size()) +
                        "\" cannot be read: " + bad->second);
      }
    }
    throw ESqlError(message);
  }
  auto statement = std::make_unique<TSqlStatement>(*this, stmt);
  if (!stmt) throw ESqlError("The SQL text holds no statement");
  const size_t consumed = tail ? static_cast<size_t>(tail - sql.data()) : sql.size();
  if (SkipToNextStatement(sql, consumed) < sql.size()) {
    throw ESqlError("Only one statement may be run at a time: the text after \";\" is refused");
  }
  if (!sqlite3_stmt_readonly(stmt)) {
    const std::string word = RefusedStatementWord(sql);
    throw ESqlError(RefusalText(word.empty() ? "This statement" : word));
  }
  return statement;
}

void TSqlEngine::Execute(std::string_view sql, double budget_seconds) {
  std::unique_ptr<TSqlStatement> statement = Prepare(sql);
  statement->StartBudget(budget_seconds);
  while (statement->Step()) {
  }
}

std::vector<std::string> TSqlEngine::TableNames() {
  SyncTables();
  std::vector<std::string> names;
  for (const auto& entry : tables_) names.push_back(entry.first);
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return core::CompareText(a, b) < 0; });
  return names;
}

}  // namespace lgoty::sql
