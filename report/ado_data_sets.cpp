// The ADO family of report data sets over sql/: the database component, the table and the
// query data sets, and the host's component object that names the default connection.
#include <mutex>

#include "core/ascii_text.h"
#include "data/field_type.h"
#include "report/class_registration.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/report_evaluator.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxADODatabase)
LGOTY_REPORT_CLASS_IMPL(TfrxADOTable)
LGOTY_REPORT_CLASS_IMPL(TfrxADOQuery)

namespace {

// Replaces the value of "KEY=" in place (up to the next ";") or appends ";Key=value".
std::string SetConnectionPart(std::string text, const std::string& upper_key,
                              const std::string& key, const std::string& value) {
  const size_t at = core::AsciiUpper(text).find(upper_key);
  if (at == std::string::npos) return text + ";" + key + value;
  size_t end = text.find(';', at);
  if (end == std::string::npos) end = text.size();
  text.erase(at, end - at);
  text.insert(at, key + value);
  return text;
}

std::string QuoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

// The chain of live component objects, newest first.
std::mutex& ChainMutex() {
  static std::mutex mutex;
  return mutex;
}
TfrxADOComponents*& ChainHead() {
  static TfrxADOComponents* head = nullptr;
  return head;
}

}  // namespace

std::string frxApplyLogin(std::string connection, const std::string& login,
                          const std::string& password) {
  connection = SetConnectionPart(std::move(connection), "USER ID=", "User ID=", login);
  return SetConnectionPart(std::move(connection), "PASSWORD=", "Password=", password);
}

// ---- TfrxADOComponents ---------------------------------------------------------------------

TfrxADOComponents::TfrxADOComponents() : watch_(std::make_unique<sql::TAdoQuery>()) {
  std::lock_guard lock(ChainMutex());
  next_ = ChainHead();
  ChainHead() = this;
}

TfrxADOComponents::~TfrxADOComponents() {
  std::lock_guard lock(ChainMutex());
  for (TfrxADOComponents** link = &ChainHead(); *link != nullptr; link = &(*link)->next_) {
    if (*link == this) {
      *link = next_;
      break;
    }
  }
}

sql::TAdoConnection* TfrxADOComponents::DefaultDatabase() const { return watch_->Connection(); }

void TfrxADOComponents::SetDefaultDatabase(sql::TAdoConnection* connection) {
  watch_->SetConnection(connection);
}

TfrxADOComponents* TfrxADOComponents::Current() {
  std::lock_guard lock(ChainMutex());
  return ChainHead();
}

sql::TAdoConnection* frxResolveAdoConnection(TfrxADODatabase* database) {
  if (database != nullptr) return &database->Database();
  if (TfrxADOComponents* components = TfrxADOComponents::Current()) {
    return components->DefaultDatabase();
  }
  return nullptr;
}

// ---- TfrxADODatabase -----------------------------------------------------------------------

TfrxADODatabase::TfrxADODatabase() : connection_(std::make_unique<sql::TAdoConnection>()) {
  connection_->BeforeConnect = [this](sql::TAdoConnection&) {
    bool connected = true;
    if (TfrxReport* report = Report(); report != nullptr && report->OnBeforeConnect) {
      report->OnBeforeConnect(*this, connected);
    }
  };
  connection_->AfterDisconnect = [this](sql::TAdoConnection&) {
    if (TfrxReport* report = Report(); report != nullptr && report->OnAfterDisconnect) {
      report->OnAfterDisconnect(*this);
    }
  };
}

TfrxADODatabase::~TfrxADODatabase() {
  connection_->BeforeConnect = nullptr;
  connection_->AfterDisconnect = nullptr;
}

void TfrxADODatabase::SetConnected(bool value) {
  if (IsLoading()) {
    stored_connected_ = value;
    return;
  }
  if (TfrxReport* report = Report(); report != nullptr && report->OnBeforeConnect) {
    report->OnBeforeConnect(*this, value);
  }
  connection_->SetConnected(value);
}

void TfrxADODatabase::Loaded() {
  if (!stored_connected_) return;
  stored_connected_ = false;
  try {
    SetConnected(true);
  } catch (const core::Exception& e) {
    if (TfrxReport* report = Report()) report->Errors().Add(e.what());
  }
}

void TfrxADODatabase::SetDatabaseName(std::string value) {
  connection_->SetConnectionString(std::move(value));
}
void TfrxADODatabase::SetLoginPrompt(bool value) { connection_->SetLoginPrompt(value); }
bool TfrxADODatabase::Connected() const {
  return IsLoading() ? stored_connected_ : connection_->Connected();
}
std::string TfrxADODatabase::DatabaseName() const { return connection_->ConnectionString(); }
bool TfrxADODatabase::LoginPrompt() const { return connection_->LoginPrompt(); }

void TfrxADODatabase::ApplyLogin(const std::string& login, const std::string& password) {
  connection_->SetConnectionString(frxApplyLogin(connection_->ConnectionString(), login, password));
}

// ---- TfrxADOTable --------------------------------------------------------------------------

TfrxADOTable::TfrxADOTable() {
  auto query = std::make_unique<sql::TAdoQuery>();
  query->SetLockType(sql::TADOLockType::ltReadOnly);
  query_ = query.get();
  SetOwnedDataSet(std::move(query));
  ResolveConnection();
}

TfrxADOTable::~TfrxADOTable() = default;

void TfrxADOTable::ResolveConnection() { query_->SetConnection(frxResolveAdoConnection(Database())); }

void TfrxADOTable::SetDatabase(TfrxADODatabase* database) {
  database_.Set(database);
  ResolveConnection();
}

void TfrxADOTable::BeforeStartReport() { ResolveConnection(); }

void TfrxADOTable::SetTableName(std::string value) {
  TfrxCustomTable::SetTableName(std::move(value));
  UpdateText();
}

void TfrxADOTable::SetIndexFieldNames(std::string value) {
  TfrxCustomTable::SetIndexFieldNames(std::move(value));
  UpdateText();
}

// The table as a query: every row, in the order of the index fields when they are given.
void TfrxADOTable::UpdateText() {
  core::TStringList text;
  const std::string table = TableName();
  if (!table.empty()) {
    std::string sql = "select * from " + QuoteIdentifier(table);
    std::string order;
    std::string part;
    const std::string fields = IndexFieldNames();
    for (size_t i = 0; i <= fields.size(); ++i) {
      if (i == fields.size() || fields[i] == ';') {
        if (!part.empty()) order += (order.empty() ? "" : ", ") + QuoteIdentifier(part);
        part.clear();
      } else if (fields[i] != ' ') {
        part += fields[i];
      }
    }
    if (!order.empty()) sql += " order by " + order;
    text.Add(sql);
  }
  query_->SQL().Assign(text);
}

// ---- TfrxADOQuery --------------------------------------------------------------------------

TfrxADOQuery::TfrxADOQuery() {
  auto query = std::make_unique<sql::TAdoQuery>();
  query->SetLockType(sql::TADOLockType::ltReadOnly);
  query_ = query.get();
  SetOwnedDataSet(std::move(query));
  HookBeforeOpen();
  ResolveConnection();
}

TfrxADOQuery::~TfrxADOQuery() = default;

core::TStringList& TfrxADOQuery::SQL() {
  copying_ = true;
  try {
    sql_.Assign(query_->SQL());
  } catch (...) {
    copying_ = false;
    throw;
  }
  copying_ = false;
  return sql_;
}

void TfrxADOQuery::SetSQL(const core::TStringList& lines) {
  if (&lines != &query_->SQL()) query_->SQL().Assign(lines);
  // Not under the copying flag: the copy's change carries the text back and rebuilds Params.
  sql_.Assign(query_->SQL());
}

void TfrxADOQuery::SqlChanged() {
  if (copying_) return;
  query_->SQL().Clear();
  query_->SQL().Assign(sql_);
  TfrxCustomQuery::SqlChanged();
  sql::TParameters& platform = query_->Parameters();
  for (int i = 0; i < platform.Count(); ++i) {
    sql::TParameter& p = platform.Items(i);
    TfrxParamItem* item = Params().Find(p.Name());
    if (item != nullptr && item->data_type == 0 && p.DataType() != data::TFieldType::ftUnknown) {
      item->data_type = static_cast<int>(p.DataType());
    }
  }
}

void TfrxADOQuery::RefreshParams() {
  sql::TParameters& platform = query_->Parameters();
  for (int i = 0; i < platform.Count(); ++i) {
    sql::TParameter& p = platform.Items(i);
    TfrxParamItem* item = Params().Find(p.Name());
    if (item == nullptr) continue;
    p.SetDataType(static_cast<data::TFieldType>(item->data_type));
    p.Attributes() = sql::TParamAttributes{};
    p.Attributes().paNullable = true;
    const bool blank = item->expression.find_first_not_of(" \t\r\n") == std::string::npos;
    if (!blank && !IsLoading()) {
      TfrxReport* report = ReportRef();
      if (ReportEvaluator* evaluator = report != nullptr ? report->Evaluator() : nullptr) {
        evaluator->SetCurrentObjectName(Name());
        item->value = evaluator->Calc(item->expression);
      }
    }
    p.SetValue(item->value);
  }
}

void TfrxADOQuery::ResolveConnection() {
  sql::TAdoConnection* connection = frxResolveAdoConnection(Database());
  query_->SetConnection(connection);
  has_connection_ = connection != nullptr;
}

void TfrxADOQuery::SetDatabase(TfrxADODatabase* database) {
  database_.Set(database);
  ResolveConnection();
}

int TfrxADOQuery::CommandTimeout() const { return query_->CommandTimeout(); }
void TfrxADOQuery::SetCommandTimeout(int seconds) { query_->SetCommandTimeout(seconds); }
TADOLockType TfrxADOQuery::LockType() const {
  return static_cast<TADOLockType>(query_->LockType());
}
void TfrxADOQuery::SetLockType(TADOLockType type) {
  query_->SetLockType(static_cast<sql::TADOLockType>(type));
}

void TfrxADOQuery::ExecSQL() {
  RefreshParams();
  query_->ExecSQL();
}

void TfrxADOQuery::BeforeStartReport() {
  ResolveConnection();
  SetSQL(query_->SQL());
}

// ---- class registration --------------------------------------------------------------------

void RegisterAdoClasses() {
  using core::TObject;
  const ReportEnums& e = Enums();
  {
    using D = TfrxADODatabase;
    auto b = RegisterFrxClass<D>("TfrxADODatabase", "TfrxCustomDatabase");
    b.Prop("DatabaseName", &D::DatabaseName, &D::SetDatabaseName);
    b.Prop("LoginPrompt", &D::LoginPrompt, &D::SetLoginPrompt).Default(1);
    b.Prop("Connected", &D::Connected, &D::SetConnected).Default(0);
  }
  {
    using D = TfrxADOTable;
    auto b = RegisterFrxClass<D>("TfrxADOTable", "TfrxCustomTable");
    b.Reference(
        "Database", "TfrxADODatabase", [](const D& o) -> TObject* { return o.Database(); },
        [](D& o, TObject* v) { o.SetDatabase(dynamic_cast<TfrxADODatabase*>(v)); });
  }
  {
    using D = TfrxADOQuery;
    auto b = RegisterFrxClass<D>("TfrxADOQuery", "TfrxCustomQuery");
    b.Reference(
        "Database", "TfrxADODatabase", [](const D& o) -> TObject* { return o.Database(); },
        [](D& o, TObject* v) { o.SetDatabase(dynamic_cast<TfrxADODatabase*>(v)); });
    b.Prop("CommandTimeout", &D::CommandTimeout, &D::SetCommandTimeout);
    b.EnumProp("LockType", &D::LockType, &D::SetLockType, e.lock_type);
  }
}

}  // namespace lgoty::report
