#include "sql/dbf_vtable.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "core/code_page.h"
#include "core/date_time.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "platform/file.h"
#include "sql/collation.h"
#include "sql/iso_date.h"
#include "sql/row_prefetch.h"
#include "sql/single_byte_text.h"
#include "sql/statement_budget.h"
#include "sql/text_order.h"

namespace lgoty::sql {

namespace {

using data::TFieldType;

// How a column's value leaves the record; decided once per column when the table is made.
enum class ColumnKind : uint8_t { Text, Integer, Real, Currency, Date, DateTime, Boolean,
                                  Bytes, Memo, Blob };

ColumnKind KindOf(const dbf::TDbfFieldDef& def) {
  if (def.IsBlob()) {
    const TFieldType type = def.FieldType();
    return type == TFieldType::ftMemo || type == TFieldType::ftFmtMemo ? ColumnKind::Memo
                                                                       : ColumnKind::Blob;
  }
  switch (def.FieldType()) {
    case TFieldType::ftSmallint: case TFieldType::ftInteger: case TFieldType::ftWord:
    case TFieldType::ftAutoInc: case TFieldType::ftLargeint:
      return ColumnKind::Integer;
    case TFieldType::ftFloat:
      return ColumnKind::Real;
    case TFieldType::ftCurrency: case TFieldType::ftBCD: case TFieldType::ftFMTBcd:
      return ColumnKind::Currency;
    case TFieldType::ftDate:
      return ColumnKind::Date;
    case TFieldType::ftTime: case TFieldType::ftDateTime: case TFieldType::ftTimeStamp:
      return ColumnKind::DateTime;
    case TFieldType::ftBoolean:
      return ColumnKind::Boolean;
    case TFieldType::ftBytes: case TFieldType::ftVarBytes:
      return ColumnKind::Bytes;
    default:
      return ColumnKind::Text;
  }
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// X'...' back to bytes; false for anything else.
bool Unhex(std::string_view arg, std::string& out) {
  if (arg.size() < 3 || (arg[0] != 'X' && arg[0] != 'x') || arg[1] != '\'' ||
      arg.back() != '\'' || arg.size() % 2 != 1) {
    return false;
  }
  arg = arg.substr(2, arg.size() - 3);
  out.clear();
  for (size_t i = 0; i < arg.size(); i += 2) {
    int high = HexDigit(arg[i]);
    int low = HexDigit(arg[i + 1]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high << 4 | low);
  }
  return !out.empty();
}

std::string QuotedIdentifier(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

struct Column {
  int field = 0;  // index in the table's field definitions
  ColumnKind kind = ColumnKind::Text;
};

// What the module was registered with: the statement budget a long scan checks, and the
// collation a scan that orders its rows itself compares with (none: SQLite sorts).
struct ModuleContext {
  const TStatementBudget* budget = nullptr;
  TSortKeyCache* keys = nullptr;
};

// A scan that keeps the records it orders in memory up to this many bytes; past it, it
// reads each record again when it is returned.
size_t sorted_scan_memory = 32u << 20;
// Threads of a scan that keeps its ordered rows (2: one decodes ahead), and the fewest rows
// for which the second one is started.
int scan_threads = 2;
// Text columns read in place (false: every value through the field's codec).
bool plain_text_reads = true;
size_t prefetch_rows = 2048;

struct DbfTable : sqlite3_vtab {
  const ModuleContext* context = nullptr;
  std::string path;
  std::vector<Column> columns;
  std::string layout;  // field names, letters and sizes when declared
  double rows_estimate = 1;
};

// Field names, letters, sizes and decimals: a scan refuses a file whose fields no longer
// match the columns declared for it.
std::string LayoutOf(const dbf::TDbfFieldDefs& defs) {
  std::string out;
  for (int i = 0; i < defs.Count(); ++i) {
    const dbf::TDbfFieldDef& def = defs[i];
    out += def.FieldName();
    out += '/';
    out += static_cast<char>(def.NativeFieldType());
    out += std::to_string(def.Size()) + "." + std::to_string(def.Precision()) + ";";
  }
  return out;
}

// Where a column's field stands in the record, for the columns read without their codec:
// plain, a text column whose codec reads its bytes as they stand (see TextIsTrimmedBytes);
// date, a date column of eight text bytes (YYYYMMDD), which ReadTextDate reads.
struct PlainText {
  bool plain = false;
  bool date = false;
  size_t offset = 0, size = 0;
};

// What decoding needs of its own on each thread.
struct DecodeScratch {
  dbf::TFieldValue value;
  std::vector<char> utf8;
};

struct DbfCursor : sqlite3_vtab_cursor {
  // Held for the life of the scan: it is what an exclusive holder of the file refuses.
  std::unique_ptr<platform::DiskFile> probe;
  dbf::TDbfFile file;
  std::vector<std::byte> record;
  const core::CodePage* code_page = nullptr;
  // The table of a single-byte code page.
  std::optional<TSingleByteText> text_table;
  // Per column: whether it is a text whose value is its bytes without trailing blanks
  // (dbf::TFieldCodec::TextIsTrimmedBytes), read in place, and where they stand.
  std::vector<PlainText> plain;
  uint32_t count = 0;
  uint32_t current = 0;  // record number, 1-based
  uint32_t last = 0;     // the last record this scan may return
  bool eof = true;
  DecodeScratch scratch;  // of this thread
  TRowValues direct;      // the value ColumnValue makes on this thread
  std::span<const std::byte> row;  // the current record's bytes (record, or in kept)
  // A scan in the order of ORDER BY terms (idxNum 2): the live records' numbers in file
  // order, their bytes one after another when keep is set, and the output order (indexes
  // into numbers).
  bool sorted = false;
  bool keep = false;
  std::vector<uint32_t> numbers;
  std::vector<std::byte> kept;
  std::vector<uint32_t> order;
  size_t position = 0;
  // Columns SQLite reads (bit 63: any from 63 on), and the rows of a kept order decoded
  // ahead on a second thread. Declared last: it goes (the worker joined) before what the
  // worker reads.
  uint64_t columns_used = ~uint64_t{0};
  std::unique_ptr<TRowPrefetch> prefetch;
  // prefetch's row at position, once a column of it was read; its slot stays the row's until
  // a later row is asked for, so it is dropped whenever position or prefetch changes.
  const TRowValues* prefetched = nullptr;
};

void SetError(sqlite3_vtab* vtab, const std::string& message) {
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", message.c_str());
}

// Opens the file the way every scan does (see the header); throws on failure.
void OpenShared(const std::string& path, DbfCursor* cursor, bool probe) {
  if (probe) {
    try {
      cursor->probe = platform::DiskFile::Open(path, platform::FileAccess::ReadWrite,
                                               platform::FileShare::DenyNone,
                                               platform::FileCreate::OpenExisting);
    } catch (const platform::ESharingViolation&) {
      throw;
    } catch (const platform::EFileError&) {
      // No write permission (a read-only medium or file): the read-only open below still
      // meets the sharing rules of the other holders.
      cursor->probe.reset();
    }
  }
  cursor->file.SetFileName(path);
  cursor->file.SetMode(dbf::TFileAccessMode::amReadOnly);
  // The query reads records only; the production index is neither needed nor touched.
  cursor->file.SetProductionIndexOpener(
      [](const std::string&, dbf::TFileAccessMode, int) { return nullptr; });
  cursor->file.SetOnIndexMissing([](bool& delete_link) { delete_link = true; });
  cursor->file.Open();
  if (!cursor->file.Active()) throw dbf::EDbfError(dbf::kInvalidDbfFile);
}

int ConnectTable(sqlite3* db, void* context, int argc, const char* const* argv, sqlite3_vtab** out,
                 char** error) {
  std::string path;
  if (argc != 4 || !Unhex(argv[3], path)) {
    *error = sqlite3_mprintf("%s", "dbf_table: expected the file path as a hex blob");
    return SQLITE_ERROR;
  }
  auto table = std::make_unique<DbfTable>();
  std::memset(static_cast<sqlite3_vtab*>(table.get()), 0, sizeof(sqlite3_vtab));
  table->context = static_cast<const ModuleContext*>(context);
  table->path = path;
  std::string declaration = "CREATE TABLE x(";
  try {
    // Only the header is read here; a table held exclusively still gets its columns, and
    // its scans report the sharing violation.
    DbfCursor probe_cursor;
    OpenShared(path, &probe_cursor, false);
    const dbf::TDbfFieldDefs& defs = probe_cursor.file.FieldDefs();
    bool first = true;
    for (int i = 0; i < defs.Count(); ++i) {
      const dbf::TDbfFieldDef& def = defs[i];
      if (def.IsNullFlags()) continue;
      Column column{i, KindOf(def)};
      table->columns.push_back(column);
      if (!first) declaration += ", ";
      first = false;
      declaration += QuotedIdentifier(def.FieldName()) + " " + DeclaredColumnType(def);
      if (column.kind == ColumnKind::Text || column.kind == ColumnKind::Memo) {
        declaration += std::string(" COLLATE ") + kLocaleCollation;
      }
    }
    table->layout = LayoutOf(defs);
    table->rows_estimate = std::max<double>(1, probe_cursor.file.RecordCount());
    probe_cursor.file.Close();
  } catch (const std::exception& e) {
    *error = sqlite3_mprintf("%s", e.what());
    return SQLITE_ERROR;
  }
  if (table->columns.empty()) {
    *error = sqlite3_mprintf("%s", "table has no fields");
    return SQLITE_ERROR;
  }
  declaration += ")";
  int rc = sqlite3_declare_vtab(db, declaration.c_str());
  if (rc != SQLITE_OK) {
    *error = sqlite3_mprintf("%s", sqlite3_errmsg(db));
    return rc;
  }
  *out = table.release();
  return SQLITE_OK;
}

int DisconnectTable(sqlite3_vtab* vtab) {
  sqlite3_free(vtab->zErrMsg);
  delete static_cast<DbfTable*>(vtab);
  return SQLITE_OK;
}

// idxNum 1: rowid = ? (one record); 0: full scan; 2: full scan in the order of the ORDER BY
// terms, which idxStr holds (sql/text_order.h). SQLite hands the terms over only when each names
// a column with the column's own collation; the scan takes them when every one is a text
// column (the locale collation) and leaves any other order to SQLite's sorter.
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const auto* table = static_cast<DbfTable*>(vtab);
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (c.usable && c.iColumn == -1 && c.op == SQLITE_INDEX_CONSTRAINT_EQ) {
      info->aConstraintUsage[i].argvIndex = 1;
      info->aConstraintUsage[i].omit = 1;
      info->idxNum = 1;
      info->estimatedCost = 1;
      info->estimatedRows = 1;
      info->idxFlags = SQLITE_INDEX_SCAN_UNIQUE;
      return SQLITE_OK;
    }
  }
  info->idxNum = 0;
  info->estimatedCost = table->rows_estimate;
  info->estimatedRows = static_cast<sqlite3_int64>(table->rows_estimate);
  if (info->nOrderBy > 0 && table->context && table->context->keys) {
    std::vector<TOrderTerm> terms;
    for (int i = 0; i < info->nOrderBy; ++i) {
      const int column = info->aOrderBy[i].iColumn;
      if (column < 0 || static_cast<size_t>(column) >= table->columns.size() ||
          table->columns[static_cast<size_t>(column)].kind != ColumnKind::Text) {
        return SQLITE_OK;
      }
      terms.push_back({column, info->aOrderBy[i].desc != 0});
    }
    // The terms, then the columns the statement reads (what a scan decodes ahead).
    const std::string order = EncodeOrderTerms(terms) + ";" + std::to_string(info->colUsed);
    char* text = sqlite3_mprintf("%s", order.c_str());
    if (!text) return SQLITE_NOMEM;
    info->idxNum = 2;
    info->idxStr = text;
    info->needToFreeIdxStr = 1;
    info->orderByConsumed = 1;
  }
  return SQLITE_OK;
}

int OpenCursor(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  auto* cursor = new (std::nothrow) DbfCursor();
  if (!cursor) return SQLITE_NOMEM;
  *out = cursor;
  return SQLITE_OK;
}

int CloseCursor(sqlite3_vtab_cursor* cur) {
  delete static_cast<DbfCursor*>(cur);
  return SQLITE_OK;
}

// A date the codec read as the zero date-time was not a date (blank or impossible).
bool IsZeroDate(core::TDateTime value) { return value == 0; }

TRowValue NumberValue(TRowValue::Type type, int64_t integer) {
  TRowValue value;
  value.type = type;
  value.integer = integer;
  return value;
}

TRowValue RealValue(double real) {
  TRowValue value;
  value.type = TRowValue::Type::Real;
  value.real = real;
  return value;
}

// A value of bytes appended to the row's text.
TRowValue BytesValue(TRowValue::Type type, std::string_view bytes, std::string& text) {
  TRowValue value;
  value.type = type;
  value.at = static_cast<uint32_t>(text.size());
  value.size = static_cast<uint32_t>(bytes.size());
  text.append(bytes);
  return value;
}

// The text of a plain text column in row: its bytes without trailing blanks.
std::string_view PlainBytes(std::span<const std::byte> row, const PlainText& plain) {
  const char* begin = reinterpret_cast<const char*>(row.data()) + plain.offset;
  return {begin, static_cast<size_t>(dbf::TrimTrailingBlanks(begin, begin + plain.size) - begin)};
}

// A date field of eight text bytes as its ISO text "YYYY-MM-DD", when the bytes are eight
// digits of a date from 0001-01-01 to 9999-12-31 other than the zero date (1899-12-30): the
// codec reads those bytes as that date and IsoDate writes its digits back as they stand.
// False for anything else (blanks, other bytes, an impossible or the zero date), which the
// codec reads.
bool ReadTextDate(std::span<const std::byte> row, const PlainText& plain, char (&iso)[10]) {
  const char* field = reinterpret_cast<const char*>(row.data()) + plain.offset;
  int digits[8];
  for (int k = 0; k < 8; ++k) {
    if (field[k] < '0' || field[k] > '9') return false;
    digits[k] = field[k] - '0';
  }
  const int year = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
  const int month = digits[4] * 10 + digits[5], day = digits[6] * 10 + digits[7];
  core::TDateTime date = 0;
  if (!core::TryEncodeDate(year, month, day, date) || IsZeroDate(date)) return false;
  std::memcpy(iso, field, 4);
  iso[4] = '-';
  std::memcpy(iso + 5, field + 4, 2);
  iso[7] = '-';
  std::memcpy(iso + 8, field + 6, 2);
  return true;
}

// Column i's value in row, its bytes appended to text. detached: made on the worker thread,
// which leaves to the reading thread what needs the memo file or a multi-byte code page's
// converter (Deferred). An error of the field or memo is an Error value with its message.
TRowValue DecodeColumn(DbfCursor& cursor, const DbfTable& table, std::span<const std::byte> row,
                       size_t i, DecodeScratch& scratch, std::string& text, bool detached) {
  const Column& column = table.columns[i];
  if (column.kind == ColumnKind::Text && cursor.plain[i].plain) {
    const std::string_view bytes = PlainBytes(row, cursor.plain[i]);
    if (bytes.empty()) return TRowValue{};
    if (cursor.text_table) {
      return BytesValue(TRowValue::Type::Text, cursor.text_table->Convert(bytes, scratch.utf8),
                        text);
    }
    if (detached) return NumberValue(TRowValue::Type::Deferred, 0);
    return BytesValue(TRowValue::Type::Text, cursor.code_page->ToUtf8(bytes), text);
  }
  if (cursor.plain[i].date) {
    char iso[10];
    if (ReadTextDate(row, cursor.plain[i], iso)) {
      return BytesValue(TRowValue::Type::Text, std::string_view(iso, sizeof iso), text);
    }
  }
  const bool deferred = column.kind == ColumnKind::Memo || column.kind == ColumnKind::Blob ||
                        (column.kind == ColumnKind::Text && !cursor.text_table);
  if (detached && deferred) return NumberValue(TRowValue::Type::Deferred, 0);
  const dbf::TDbfFieldDefs& defs = cursor.file.FieldDefs();
  const dbf::TDbfFieldDef& def = defs[column.field];
  dbf::TFieldValue& v = scratch.value;
  try {
    TFieldType requested = def.FieldType();
    if (column.kind == ColumnKind::Text) requested = TFieldType::ftString;
    if (column.kind == ColumnKind::Bytes) requested = TFieldType::ftBytes;
    if (!dbf::GetFieldData(defs, def, requested, row, &v)) return TRowValue{};
    switch (column.kind) {
      case ColumnKind::Text:
        if (cursor.text_table) {
          return BytesValue(TRowValue::Type::Text, cursor.text_table->Convert(v.text, scratch.utf8),
                            text);
        }
        return BytesValue(TRowValue::Type::Text, cursor.code_page->ToUtf8(v.text), text);
      case ColumnKind::Integer:
        return NumberValue(TRowValue::Type::Integer, v.integer);
      case ColumnKind::Real:
        return RealValue(v.real);
      case ColumnKind::Currency:
        if (dbf::ValueClassOf(requested) == dbf::TValueClass::BCD) {
          return RealValue(static_cast<double>(v.integer) / 10000.0);
        }
        return RealValue(v.real);
      case ColumnKind::Date:
        if (IsZeroDate(v.real)) return TRowValue{};
        return BytesValue(TRowValue::Type::Text, IsoDate(v.real), text);
      case ColumnKind::DateTime:
        if (IsZeroDate(v.real)) return TRowValue{};
        return BytesValue(TRowValue::Type::Text, IsoDateTime(v.real), text);
      case ColumnKind::Boolean:
        return NumberValue(TRowValue::Type::Integer, v.integer ? 1 : 0);
      case ColumnKind::Bytes:
        return BytesValue(TRowValue::Type::Blob, v.text, text);
      case ColumnKind::Memo:
      case ColumnKind::Blob: {
        dbf::TMemoFile* memo = cursor.file.MemoFile();
        if (!memo || v.integer <= 0 || v.integer > UINT32_MAX) return TRowValue{};
        dbf::TMemoValue value = memo->ReadValue(static_cast<uint32_t>(v.integer));
        // SQLite makes a blob without bytes to point at NULL.
        if (!value.data.data()) return TRowValue{};
        std::string_view bytes(reinterpret_cast<const char*>(value.data.data()),
                               value.data.size());
        if (column.kind == ColumnKind::Blob) return BytesValue(TRowValue::Type::Blob, bytes, text);
        while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\0')) {
          bytes.remove_suffix(1);
        }
        if (bytes.empty()) return TRowValue{};
        return BytesValue(TRowValue::Type::Text, cursor.code_page->ToUtf8(bytes), text);
      }
    }
  } catch (const std::exception& e) {
    return BytesValue(TRowValue::Type::Error, e.what(), text);
  }
  return TRowValue{};
}

void ResultValue(sqlite3_context* ctx, const TRowValue& value, const TRowValues& row) {
  switch (value.type) {
    case TRowValue::Type::Integer:
      sqlite3_result_int64(ctx, value.integer);
      break;
    case TRowValue::Type::Real:
      sqlite3_result_double(ctx, value.real);
      break;
    case TRowValue::Type::Text: {
      const std::string_view bytes = row.Bytes(value);
      sqlite3_result_text64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    }
    case TRowValue::Type::Blob: {
      const std::string_view bytes = row.Bytes(value);
      sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
      break;
    }
    case TRowValue::Type::Error: {
      const std::string message(row.Bytes(value));
      sqlite3_result_error(ctx, message.c_str(), -1);
      break;
    }
    case TRowValue::Type::Null:
    case TRowValue::Type::Deferred:
      sqlite3_result_null(ctx);
      break;
  }
}

bool IsDeleted(const std::vector<std::byte>& record) {
  return !record.empty() && record[0] != std::byte{' '};
}

// Moves to the first live record from `from` on (up to cursor->last).
void SeekLive(DbfCursor* cursor, uint32_t from) {
  for (uint32_t n = from; n <= cursor->last && n != 0; ++n) {
    if (cursor->file.ReadRecord(n, cursor->record) != cursor->record.size()) break;
    if (IsDeleted(cursor->record)) continue;
    cursor->current = n;
    cursor->row = cursor->record;
    cursor->eof = false;
    return;
  }
  cursor->eof = true;
}

// Moves to the record at cursor->position of the order (or past the end).
void SeekSorted(DbfCursor* cursor) {
  cursor->prefetched = nullptr;
  const size_t size = cursor->record.size();
  for (; cursor->position < cursor->order.size(); ++cursor->position) {
    const uint32_t index = cursor->order[cursor->position];
    cursor->current = cursor->numbers[index];
    if (cursor->keep) {
      cursor->row = std::span<const std::byte>(cursor->kept.data() + size_t{index} * size, size);
    } else {
      // Read again: skipped when it was deleted or cut off since the scan started.
      if (cursor->file.ReadRecord(cursor->current, cursor->record) != size) continue;
      if (IsDeleted(cursor->record)) continue;
      cursor->row = cursor->record;
    }
    cursor->eof = false;
    return;
  }
  cursor->eof = true;
  cursor->prefetch.reset();  // its worker is done: joined here, not when the cursor goes
}

class EBudgetSpent : public std::runtime_error {
  using runtime_error::runtime_error;
};

// Decodes the kept rows of the order ahead on a second thread: the columns SQLite reads,
// each as ColumnValue would make it. Without a thread the scan decodes as it goes.
void StartPrefetch(DbfCursor* cursor, const DbfTable& table) {
  const size_t size = cursor->record.size();
  const size_t columns = table.columns.size();
  std::vector<bool> used(columns);
  for (size_t i = 0; i < columns; ++i) {
    used[i] = (cursor->columns_used >> std::min<size_t>(i, 63)) & 1;
  }
  auto scratch = std::make_shared<DecodeScratch>();
  cursor->prefetched = nullptr;
  try {
    cursor->prefetch = std::make_unique<TRowPrefetch>(
        cursor->order.size(),
        [cursor, &table, size, columns, used = std::move(used), scratch](size_t index,
                                                                        TRowValues& row) {
          const size_t kept = cursor->order[index];
          const std::span<const std::byte> bytes(cursor->kept.data() + kept * size, size);
          row.values.resize(columns);
          for (size_t i = 0; i < columns; ++i) {
            row.values[i] = used[i] ? DecodeColumn(*cursor, table, bytes, i, *scratch, row.text, true)
                                    : NumberValue(TRowValue::Type::Deferred, 0);
          }
        });
  } catch (const std::system_error&) {
    cursor->prefetch.reset();
  }
}

// Reads every live record, orders them by the terms and moves to the first one.
void StartSortedScan(DbfCursor* cursor, const DbfTable& table,
                     const std::vector<TOrderTerm>& terms) {
  const TStatementBudget* budget = table.context->budget;
  const dbf::TDbfFieldDefs& defs = cursor->file.FieldDefs();
  const size_t size = cursor->record.size();
  cursor->numbers.clear();
  cursor->kept.clear();
  cursor->order.clear();
  cursor->keep = size_t{cursor->count} * size <= sorted_scan_memory;
  cursor->numbers.reserve(cursor->count);
  if (cursor->keep) cursor->kept.reserve(size_t{cursor->count} * size);
  std::vector<TOrderColumn> columns(terms.size());
  std::vector<const dbf::TDbfFieldDef*> fields;
  for (const TOrderTerm& term : terms) {
    fields.push_back(&defs[table.columns[static_cast<size_t>(term.column)].field]);
  }
  std::vector<const PlainText*> plain;
  for (const TOrderTerm& term : terms) {
    const PlainText& column = cursor->plain[static_cast<size_t>(term.column)];
    plain.push_back(column.plain ? &column : nullptr);
  }
  dbf::TFieldValue& v = cursor->scratch.value;
  for (uint32_t n = 1; n <= cursor->count; ++n) {
    if (n % 4096 == 0 && budget && budget->Expired()) throw EBudgetSpent(budget->ExceededText());
    if (cursor->file.ReadRecord(n, cursor->record) != size) break;
    if (IsDeleted(cursor->record)) continue;
    cursor->numbers.push_back(n);
    if (cursor->keep) cursor->kept.insert(cursor->kept.end(), cursor->record.begin(), cursor->record.end());
    // The value ColumnValue gives a text column: the field's text, NULL when blank.
    for (size_t t = 0; t < terms.size(); ++t) {
      if (plain[t]) {
        const std::string_view bytes = PlainBytes(cursor->record, *plain[t]);
        if (bytes.empty()) columns[t].AddNull();
        else columns[t].Add(bytes);
      } else if (dbf::GetFieldData(defs, *fields[t], TFieldType::ftString, cursor->record, &v)) {
        columns[t].Add(v.text);
      } else {
        columns[t].AddNull();
      }
    }
  }
  const core::CodePage* code_page = cursor->code_page;
  TSortKeyCache& keys = *table.context->keys;
  std::vector<std::vector<uint32_t>> ranks;
  std::vector<bool> descending;
  for (size_t t = 0; t < terms.size(); ++t) {
    ranks.push_back(columns[t].Ranks(
        [code_page](std::string_view stored) { return code_page->ToUtf8(stored); },
        [&keys](std::string_view a, std::string_view b) { return CompareLocaleText(keys, a, b); }));
    descending.push_back(terms[t].descending);
    if (budget && budget->Expired()) throw EBudgetSpent(budget->ExceededText());
  }
  cursor->order = OrderRows(ranks, descending, cursor->numbers.size());
  cursor->position = 0;
  if (cursor->keep && scan_threads > 1 && cursor->order.size() >= prefetch_rows) {
    StartPrefetch(cursor, table);
  }
  SeekSorted(cursor);
}

int Filter(sqlite3_vtab_cursor* cur, int idx_num, const char* idx_str, int argc,
           sqlite3_value** argv) {
  auto* cursor = static_cast<DbfCursor*>(cur);
  auto* table = static_cast<DbfTable*>(cur->pVtab);
  try {
    cursor->prefetched = nullptr;
    cursor->prefetch.reset();
    if (!cursor->file.Active()) {
      OpenShared(table->path, cursor, true);
      if (LayoutOf(cursor->file.FieldDefs()) != table->layout) {
        throw dbf::EDbfError("The fields of " + table->path +
                             " changed since the connection was opened; reconnect");
      }
      cursor->code_page = core::FindCodePage(cursor->file.EffectiveCodePage());
      if (!cursor->code_page) cursor->code_page = core::FindCodePage(core::AnsiCodePage());
      if (cursor->code_page->IsSingleByte()) cursor->text_table.emplace(*cursor->code_page);
      cursor->record.assign(cursor->file.RecordSize(), std::byte{0});
      cursor->plain.assign(table->columns.size(), PlainText{});
      for (size_t i = 0; i < table->columns.size(); ++i) {
        const dbf::TDbfFieldDef& def = cursor->file.FieldDefs()[table->columns[i].field];
        const bool inside = def.Offset() >= 1 && def.Size() >= 0 &&
                            static_cast<size_t>(def.Offset()) + static_cast<size_t>(def.Size()) <=
                                cursor->record.size();
        if (table->columns[i].kind == ColumnKind::Text && inside && plain_text_reads &&
            def.Codec().TextIsTrimmedBytes()) {
          cursor->plain[i] = {true, false, static_cast<size_t>(def.Offset()),
                              static_cast<size_t>(def.Size())};
        }
        if (table->columns[i].kind == ColumnKind::Date && inside && plain_text_reads &&
            def.Size() == 8 && def.Codec().TextIsTrimmedBytes()) {
          cursor->plain[i] = {false, true, static_cast<size_t>(def.Offset()), 8};
        }
      }
    }
    cursor->count = cursor->file.RecordCount();
    cursor->eof = true;
    cursor->sorted = false;
    std::vector<TOrderTerm> terms;
    std::string_view order = idx_str ? idx_str : "";
    cursor->columns_used = ~uint64_t{0};
    if (const size_t mark = order.find(';'); mark != std::string_view::npos) {
      const std::string_view used = order.substr(mark + 1);
      uint64_t mask = 0;
      if (std::from_chars(used.data(), used.data() + used.size(), mask).ptr ==
          used.data() + used.size()) {
        cursor->columns_used = mask;
      }
      order = order.substr(0, mark);
    }
    if (idx_num == 2 && idx_str && DecodeOrderTerms(order, terms) && table->context &&
        table->context->keys) {
      cursor->sorted = true;
      StartSortedScan(cursor, *table, terms);
    } else if (idx_num == 1 && argc == 1) {
      if (sqlite3_value_numeric_type(argv[0]) != SQLITE_INTEGER) return SQLITE_OK;
      const sqlite3_int64 n = sqlite3_value_int64(argv[0]);
      if (n < 1 || n > cursor->count) return SQLITE_OK;
      cursor->last = static_cast<uint32_t>(n);
      SeekLive(cursor, static_cast<uint32_t>(n));
    } else {
      cursor->last = cursor->count;
      SeekLive(cursor, 1);
    }
  } catch (const std::exception& e) {
    SetError(cur->pVtab, e.what());
    return SQLITE_ERROR;
  }
  return SQLITE_OK;
}

int Next(sqlite3_vtab_cursor* cur) {
  auto* cursor = static_cast<DbfCursor*>(cur);
  try {
    if (cursor->sorted) {
      ++cursor->position;
      SeekSorted(cursor);
    } else {
      SeekLive(cursor, cursor->current + 1);
    }
  } catch (const std::exception& e) {
    SetError(cur->pVtab, e.what());
    return SQLITE_ERROR;
  }
  return SQLITE_OK;
}

int Eof(sqlite3_vtab_cursor* cur) { return static_cast<DbfCursor*>(cur)->eof ? 1 : 0; }

int ColumnValue(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i) {
  auto* cursor = static_cast<DbfCursor*>(cur);
  auto* table = static_cast<DbfTable*>(cur->pVtab);
  if (i < 0 || static_cast<size_t>(i) >= table->columns.size()) return SQLITE_ERROR;
  const auto column = static_cast<size_t>(i);
  if (cursor->prefetch) {
    if (!cursor->prefetched) cursor->prefetched = &cursor->prefetch->Row(cursor->position);
    const TRowValues& row = *cursor->prefetched;
    if (column < row.values.size() && row.values[column].type != TRowValue::Type::Deferred) {
      ResultValue(ctx, row.values[column], row);
      return SQLITE_OK;
    }
  }
  TRowValues& direct = cursor->direct;
  direct.text.clear();
  const TRowValue value =
      DecodeColumn(*cursor, *table, cursor->row, column, cursor->scratch, direct.text, false);
  ResultValue(ctx, value, direct);
  return SQLITE_OK;
}

int RowId(sqlite3_vtab_cursor* cur, sqlite3_int64* out) {
  *out = static_cast<DbfCursor*>(cur)->current;
  return SQLITE_OK;
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  m.xCreate = ConnectTable;
  m.xConnect = ConnectTable;
  m.xBestIndex = BestIndex;
  m.xDisconnect = DisconnectTable;
  m.xDestroy = DisconnectTable;
  m.xOpen = OpenCursor;
  m.xClose = CloseCursor;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = ColumnValue;
  m.xRowid = RowId;
  return m;
}

const sqlite3_module kModule = MakeModule();

}  // namespace

void RegisterDbfModule(sqlite3* db, const TStatementBudget* budget, TSortKeyCache* keys) {
  auto* context = new ModuleContext{budget, keys};
  // SQLite frees the context with the module, also when the registration fails.
  int rc = sqlite3_create_module_v2(db, kDbfModuleName, &kModule, context,
                                    [](void* p) { delete static_cast<ModuleContext*>(p); });
  if (rc != SQLITE_OK) throw dbf::EDbfError(sqlite3_errmsg(db));
}

void SetSortedScanMemory(size_t bytes) { sorted_scan_memory = bytes; }

void SetScanShortcuts(int threads, size_t prefetch_from_rows, bool plain_text) {
  scan_threads = threads;
  prefetch_rows = prefetch_from_rows;
  plain_text_reads = plain_text;
}

std::string CheckDbfTable(const std::string& path) {
  try {
    DbfCursor cursor;
    OpenShared(path, &cursor, false);
    if (cursor.file.FieldDefs().Count() == 0) return "table has no fields";
    cursor.file.Close();
    return {};
  } catch (const std::exception& e) {
    return e.what();
  }
}

std::string CreateDbfTableSql(std::string_view name, std::string_view path) {
  return "CREATE VIRTUAL TABLE " + QuotedIdentifier(name) + " USING " + kDbfModuleName +
         "(X'" + Hex(path) + "')";
}

std::string DeclaredColumnType(const dbf::TDbfFieldDef& def) {
  const std::string size = std::to_string(def.Size());
  switch (KindOf(def)) {
    case ColumnKind::Text: return "VARCHAR(" + size + ")";
    case ColumnKind::Integer:
      switch (def.FieldType()) {
        case TFieldType::ftSmallint: case TFieldType::ftWord: return "SMALLINT(" + size + ")";
        case TFieldType::ftLargeint: return "BIGINT(" + size + ")";
        default: return "INTEGER(" + size + ")";
      }
    case ColumnKind::Real:
      return "FLOAT(" + size + "," + std::to_string(def.Precision()) + ")";
    case ColumnKind::Currency: return "CURRENCY";
    case ColumnKind::Date: return "DATE";
    case ColumnKind::DateTime: return "DATETIME";
    case ColumnKind::Boolean: return "BOOLEAN";
    case ColumnKind::Memo: return "LONGTEXT";
    case ColumnKind::Bytes:
    case ColumnKind::Blob: return "BLOB";
  }
  return "VARCHAR(" + size + ")";
}

}  // namespace lgoty::sql
