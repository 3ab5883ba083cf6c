#include "sql/dbf_vtable.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "core/code_page.h"
#include "core/date_time.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "platform/file.h"
#include "sql/collation.h"
#include "sql/iso_date.h"
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

struct DbfCursor : sqlite3_vtab_cursor {
  // Held for the life of the scan: it is what an exclusive holder of the file refuses.
  std::unique_ptr<platform::DiskFile> probe;
  dbf::TDbfFile file;
  std::vector<std::byte> record;
  const core::CodePage* code_page = nullptr;
  // The table of a single-byte code page, and the buffer text values are converted into.
  std::optional<TSingleByteText> text_table;
  std::vector<char> utf8;
  uint32_t count = 0;
  uint32_t current = 0;  // record number, 1-based
  uint32_t last = 0;     // the last record this scan may return
  bool eof = true;
  dbf::TFieldValue value;  // scratch
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
    char* text = sqlite3_mprintf("%s", EncodeOrderTerms(terms).c_str());
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
}

class EBudgetSpent : public std::runtime_error {
  using runtime_error::runtime_error;
};

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
  dbf::TFieldValue& v = cursor->value;
  for (uint32_t n = 1; n <= cursor->count; ++n) {
    if (n % 4096 == 0 && budget && budget->Expired()) throw EBudgetSpent(budget->ExceededText());
    if (cursor->file.ReadRecord(n, cursor->record) != size) break;
    if (IsDeleted(cursor->record)) continue;
    cursor->numbers.push_back(n);
    if (cursor->keep) cursor->kept.insert(cursor->kept.end(), cursor->record.begin(), cursor->record.end());
    // The value ColumnValue gives a text column: the field's text, NULL when blank.
    for (size_t t = 0; t < terms.size(); ++t) {
      if (dbf::GetFieldData(defs, *fields[t], TFieldType::ftString, cursor->record, &v)) {
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
  SeekSorted(cursor);
}

int Filter(sqlite3_vtab_cursor* cur, int idx_num, const char* idx_str, int argc,
           sqlite3_value** argv) {
  auto* cursor = static_cast<DbfCursor*>(cur);
  auto* table = static_cast<DbfTable*>(cur->pVtab);
  try {
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
    }
    cursor->count = cursor->file.RecordCount();
    cursor->eof = true;
    cursor->sorted = false;
    std::vector<TOrderTerm> terms;
    if (idx_num == 2 && idx_str && DecodeOrderTerms(idx_str, terms) && table->context &&
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

void ResultText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text64(ctx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// A date the codec read as the zero date-time was not a date (blank or impossible).
bool IsZeroDate(core::TDateTime value) { return value == 0; }

int ColumnValue(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i) {
  auto* cursor = static_cast<DbfCursor*>(cur);
  auto* table = static_cast<DbfTable*>(cur->pVtab);
  if (i < 0 || static_cast<size_t>(i) >= table->columns.size()) return SQLITE_ERROR;
  const Column& column = table->columns[static_cast<size_t>(i)];
  const dbf::TDbfFieldDefs& defs = cursor->file.FieldDefs();
  const dbf::TDbfFieldDef& def = defs[column.field];
  dbf::TFieldValue& v = cursor->value;
  try {
    TFieldType requested = def.FieldType();
    if (column.kind == ColumnKind::Text) requested = TFieldType::ftString;
    if (column.kind == ColumnKind::Bytes) requested = TFieldType::ftBytes;
    if (!dbf::GetFieldData(defs, def, requested, cursor->row, &v)) {
      sqlite3_result_null(ctx);
      return SQLITE_OK;
    }
    switch (column.kind) {
      case ColumnKind::Text:
        if (cursor->text_table) {
          const std::string_view utf8 = cursor->text_table->Convert(v.text, cursor->utf8);
          sqlite3_result_text64(ctx, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
        } else {
          ResultText(ctx, cursor->code_page->ToUtf8(v.text));
        }
        break;
      case ColumnKind::Integer:
        sqlite3_result_int64(ctx, v.integer);
        break;
      case ColumnKind::Real:
        sqlite3_result_double(ctx, v.real);
        break;
      case ColumnKind::Currency:
        if (dbf::ValueClassOf(requested) == dbf::TValueClass::BCD) {
          sqlite3_result_double(ctx, static_cast<double>(v.integer) / 10000.0);
        } else {
          sqlite3_result_double(ctx, v.real);
        }
        break;
      case ColumnKind::Date:
        if (IsZeroDate(v.real)) sqlite3_result_null(ctx);
        else ResultText(ctx, IsoDate(v.real));
        break;
      case ColumnKind::DateTime:
        if (IsZeroDate(v.real)) sqlite3_result_null(ctx);
        else ResultText(ctx, IsoDateTime(v.real));
        break;
      case ColumnKind::Boolean:
        sqlite3_result_int(ctx, v.integer ? 1 : 0);
        break;
      case ColumnKind::Bytes:
        sqlite3_result_blob64(ctx, v.text.data(), v.text.size(), SQLITE_TRANSIENT);
        break;
      case ColumnKind::Memo:
      case ColumnKind::Blob: {
        dbf::TMemoFile* memo = cursor->file.MemoFile();
        if (!memo || v.integer <= 0 || v.integer > UINT32_MAX) {
          sqlite3_result_null(ctx);
          break;
        }
        dbf::TMemoValue value = memo->ReadValue(static_cast<uint32_t>(v.integer));
        std::string_view bytes(reinterpret_cast<const char*>(value.data.data()),
                               value.data.size());
        if (column.kind == ColumnKind::Blob) {
          sqlite3_result_blob64(ctx, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        } else {
          while (!bytes.empty() && (bytes.back() == ' ' || bytes.back() == '\0')) {
            bytes.remove_suffix(1);
          }
          if (bytes.empty()) sqlite3_result_null(ctx);
          else ResultText(ctx, cursor->code_page->ToUtf8(bytes));
        }
        break;
      }
    }
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
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
