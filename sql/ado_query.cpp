#include "sql/ado_query.h"

#include <sqlite3.h>

#include <charconv>
#include <algorithm>

#include "core/locale.h"
#include "core/utf8_text.h"
#include "data/database_error.h"
#include "data/field_defs.h"
#include "sql/ado_connection.h"
#include "sql/query_cells.h"
#include "sql/sql_engine.h"

namespace lgoty::sql {

using data::TFieldType;

namespace {

constexpr int kLongestString = 255;

// "NAME(a,b)" -> NAME, a, b (missing numbers stay 0).
void SplitDeclType(std::string_view decl, std::string& name, int& a, int& b) {
  const size_t open = decl.find('(');
  name = core::UpperCase(decl.substr(0, open));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  a = b = 0;
  if (open == std::string_view::npos) return;
  std::string_view args = decl.substr(open + 1);
  const char* p = args.data();
  const char* end = p + args.size();
  p = std::from_chars(p, end, a).ptr;
  if (p < end && *p == ',') std::from_chars(p + 1, end, b);
}

// The type of a column that names a table column; false for any other declared type.
bool TypeFromDecl(std::string_view decl, TFieldType& type, int& size, int& precision) {
  std::string name;
  int a = 0, b = 0;
  SplitDeclType(decl, name, a, b);
  size = precision = 0;
  if (name == "VARCHAR") {
    type = TFieldType::ftString;
    size = a > 0 ? a : 1;
  } else if (name == "SMALLINT") {
    type = TFieldType::ftSmallint;
  } else if (name == "INTEGER") {
    type = TFieldType::ftInteger;
  } else if (name == "BIGINT") {
    type = TFieldType::ftLargeint;
  } else if (name == "FLOAT") {
    type = TFieldType::ftFloat;
    precision = b;
  } else if (name == "CURRENCY") {
    type = TFieldType::ftCurrency;
  } else if (name == "DATE") {
    type = TFieldType::ftDate;
  } else if (name == "DATETIME") {
    type = TFieldType::ftDateTime;
  } else if (name == "BOOLEAN") {
    type = TFieldType::ftBoolean;
  } else if (name == "LONGTEXT") {
    type = TFieldType::ftMemo;
  } else if (name == "BLOB") {
    type = TFieldType::ftBlob;
  } else {
    return false;
  }
  return true;
}

// What the values of an expression column were.
struct ValueMix {
  bool integer = false, real = false, text = false, blob = false;
  size_t longest = 0;
};

void AddToMix(const TSqlStatement::TStoredValue& stored, ValueMix& mix) {
  switch (stored.type) {
    case SQLITE_INTEGER: mix.integer = true; break;
    case SQLITE_FLOAT: mix.real = true; break;
    case SQLITE_TEXT:
      mix.text = true;
      mix.longest = std::max(mix.longest, core::Utf8Length(stored.bytes));
      break;
    case SQLITE_BLOB: mix.blob = true; break;
    default: break;
  }
}

}  // namespace

TAdoQuery::TAdoQuery() {
  sql_.OnChange = [this] { SqlChanged(); };
}

TAdoQuery::~TAdoQuery() {
  try {
    Close();
  } catch (...) {
    // A handler of BeforeClose/AfterClose failed; the query goes anyway.
  }
  if (connection_) connection_->RemoveQuery(this);
}

void TAdoQuery::SetConnection(TAdoConnection* connection) {
  if (connection == connection_) return;
  Close();
  if (connection_) connection_->RemoveQuery(this);
  connection_ = connection;
  if (connection_) connection_->AddQuery(this);
}

void TAdoQuery::SqlChanged() {
  Close();
  if (defs_from_closed_) {
    FieldDefs().SetUpdated(false);
    defs_from_closed_ = false;
  }
  if (param_check_) parameters_.ParseSQL(sql_.Text());
}

TSqlEngine& TAdoQuery::ConnectedEngine() {
  if (!connection_) throw data::EDatabaseError("TADOQuery: Missing Connection or ConnectionString");
  return connection_->Engine();
}

TAdoQuery::Result TAdoQuery::Run() {
  TSqlEngine& engine = ConnectedEngine();
  const TParsedSql parsed = ParseSqlMarkers(sql_.Text());
  std::unique_ptr<TSqlStatement> statement = engine.Prepare(parsed.text);
  for (size_t i = 0; i < parsed.names.size(); ++i) {
    const TParameter* parameter = parameters_.FindParam(parsed.names[i]);
    if (!parameter) throw ESqlError("Parameter \"" + parsed.names[i] + "\" not found");
    parameter->Bind(*statement, static_cast<int>(i) + 1);
  }

  Result result;
  const int count = statement->ColumnCount();
  std::vector<bool> declared(static_cast<size_t>(count), false);
  std::vector<ValueMix> mixes(static_cast<size_t>(count));
  result.columns.resize(static_cast<size_t>(count));
  int expression_number = 1000;
  for (int c = 0; c < count; ++c) {
    ColumnDef& def = result.columns[static_cast<size_t>(c)];
    def.name = statement->ColumnName(c);
    if (def.name.empty()) def.name = "Expr" + std::to_string(expression_number++);
    for (int suffix = 1;; ++suffix) {
      bool taken = false;
      for (int k = 0; k < c && !taken; ++k) {
        taken = data::SameFieldName(result.columns[static_cast<size_t>(k)].name, def.name);
      }
      if (!taken) break;
      def.name = statement->ColumnName(c) + "_" + std::to_string(suffix);
    }
    declared[static_cast<size_t>(c)] =
        TypeFromDecl(statement->ColumnDeclType(c), def.type, def.size, def.precision);
  }

  statement->StartBudget(command_timeout_);
  while (statement->Step()) {
    for (int c = 0; c < count; ++c) {
      const auto column = static_cast<size_t>(c);
      const TSqlStatement::TStoredValue stored = statement->ColumnStored(c);
      if (declared[column]) {
        result.cells.AppendCanonical(stored, result.columns[column].type);
      } else {
        AddToMix(stored, mixes[column]);
        result.cells.AppendRaw(stored);
      }
    }
    ++result.row_count;
  }

  // Expression columns: a type from what their values were, then every value in its form.
  for (int c = 0; c < count; ++c) {
    const auto column = static_cast<size_t>(c);
    if (declared[column]) continue;
    ColumnDef& def = result.columns[column];
    const ValueMix& mix = mixes[column];
    if (mix.text) {
      def.type = mix.longest > kLongestString ? TFieldType::ftMemo : TFieldType::ftString;
      def.size = def.type == TFieldType::ftString ? static_cast<int>(std::max<size_t>(mix.longest, 1)) : 0;
    } else if (mix.blob) {
      def.type = TFieldType::ftBlob;
    } else if (mix.real) {
      def.type = TFieldType::ftFloat;
    } else if (mix.integer) {
      def.type = TFieldType::ftLargeint;
    } else {
      def.type = TFieldType::ftString;
      def.size = 1;
    }
    for (size_t at = column; at < result.cells.Size(); at += static_cast<size_t>(count)) {
      result.cells.Set(at, CanonicalValue(result.cells.Value(at), def.type));
    }
  }
  return result;
}

void TAdoQuery::FillFieldDefs(const std::vector<ColumnDef>& columns) {
  data::TFieldDefs& defs = FieldDefs();
  defs.Clear();
  for (const ColumnDef& column : columns) {
    data::TFieldDef& def = defs.Add(column.name, column.type, column.size);
    def.SetPrecision(column.precision);
    def.Attributes().ReadOnly = true;
  }
}

void TAdoQuery::InternalInitFieldDefs() {
  // Reaching the list while closed asks for it again (FieldDefs() fills an outdated list):
  // the inner call returns at once, and the list it hands back is the one filled here.
  if (filling_defs_) return;
  filling_defs_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{filling_defs_};
  Result result = Run();
  FillFieldDefs(result.columns);
  defs_from_closed_ = true;
}

void TAdoQuery::InternalOpen() {
  defs_from_closed_ = false;
  Result result = Run();
  FillFieldDefs(result.columns);
  FieldDefs().SetUpdated(true);
  column_count_ = result.columns.size();
  cells_ = std::move(result.cells);
  row_count_ = result.row_count;
  cursor_ = -1;
}

void TAdoQuery::InternalClose() {
  defs_from_closed_ = false;
  cells_.Clear();
  row_count_ = 0;
  cursor_ = -1;
}

int TAdoQuery::ExecSQL() {
  TSqlEngine& engine = ConnectedEngine();
  const TParsedSql parsed = ParseSqlMarkers(sql_.Text());
  std::unique_ptr<TSqlStatement> statement = engine.Prepare(parsed.text);
  for (size_t i = 0; i < parsed.names.size(); ++i) {
    const TParameter* parameter = parameters_.FindParam(parsed.names[i]);
    if (!parameter) throw ESqlError("Parameter \"" + parsed.names[i] + "\" not found");
    parameter->Bind(*statement, static_cast<int>(i) + 1);
  }
  statement->StartBudget(command_timeout_);
  while (statement->Step()) {
  }
  return 0;
}

std::unique_ptr<data::TRecordBuffer> TAdoQuery::AllocRecordBuffer() {
  return std::make_unique<Row>();
}

void TAdoQuery::InternalInitRecord(data::TRecordBuffer& buffer) {
  static_cast<Row&>(buffer).index = -1;
}

void TAdoQuery::InternalFirst() { cursor_ = -1; }

void TAdoQuery::InternalLast() { cursor_ = row_count_; }

data::TGetResult TAdoQuery::InternalGetRecord(data::TRecordBuffer& buffer, data::TGetMode mode) {
  const int64_t size = row_count_;
  switch (mode) {
    case data::TGetMode::gmNext:
      if (cursor_ + 1 >= size) {
        cursor_ = size;
        return data::TGetResult::grEOF;
      }
      ++cursor_;
      break;
    case data::TGetMode::gmPrior:
      if (cursor_ <= 0) {
        cursor_ = -1;
        return data::TGetResult::grBOF;
      }
      cursor_ = std::min(cursor_, size) - 1;
      break;
    case data::TGetMode::gmCurrent:
      if (cursor_ < 0 || cursor_ >= size) return data::TGetResult::grError;
      break;
  }
  static_cast<Row&>(buffer).index = cursor_;
  return data::TGetResult::grOK;
}

void TAdoQuery::InternalSetToRecord(const data::TRecordBuffer& buffer) {
  cursor_ = static_cast<const Row&>(buffer).index;
}

data::TBookmark TAdoQuery::GetBookmarkData(const data::TRecordBuffer& buffer) const {
  return data::TBookmark::FromInteger(static_cast<const Row&>(buffer).index + 1);
}

void TAdoQuery::InternalGotoBookmark(const data::TBookmark& bookmark) {
  const int64_t row = bookmark.ToInteger() - 1;
  if (row < 0 || row >= row_count_) {
    throw data::EDatabaseError(std::string(data::kRecordNotFound));
  }
  cursor_ = row;
}

int TAdoQuery::CompareBookmarkData(const data::TBookmark& a, const data::TBookmark& b) const {
  const int64_t x = a.ToInteger();
  const int64_t y = b.ToInteger();
  return x < y ? -1 : x > y ? 1 : 0;
}

bool TAdoQuery::GetFieldData(const data::TRecordBuffer& buffer, const data::TField& field,
                             core::Variant& out) const {
  const int64_t row = static_cast<const Row&>(buffer).index;
  const int column = field.FieldNo() - 1;
  if (row < 0 || row >= row_count_ || column < 0) return false;
  if (static_cast<size_t>(column) >= column_count_) return false;
  return cells_.Read(static_cast<size_t>(row) * column_count_ + static_cast<size_t>(column), out);
}

void TAdoQuery::SetFieldData(data::TRecordBuffer&, const data::TField&, const core::Variant&) {
  throw data::EDatabaseError(std::string(data::kDataSetReadOnly));
}

void TAdoQuery::InternalPost() {
  throw data::EDatabaseError(std::string(data::kDataSetReadOnly));
}

void TAdoQuery::InternalDelete() {
  throw data::EDatabaseError(std::string(data::kDataSetReadOnly));
}

int TAdoQuery::GetRecordCount() { return static_cast<int>(row_count_); }

int TAdoQuery::GetRecNo(const data::TRecordBuffer& buffer) const {
  const auto& row = static_cast<const Row&>(buffer);
  if (row.bookmark_flag != data::TBookmarkFlag::bfCurrent || row.index < 0) return -1;
  return static_cast<int>(row.index) + 1;
}

bool TAdoQuery::InternalSetRecNo(int rec_no) {
  if (rec_no < 1 || rec_no > row_count_) return false;
  cursor_ = rec_no - 1;
  return true;
}

}  // namespace lgoty::sql
