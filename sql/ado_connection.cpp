#include "sql/ado_connection.h"

#include <algorithm>

#include "core/locale.h"
#include "sql/ado_query.h"
#include "sql/sql_engine.h"

namespace lgoty::sql {

namespace {

bool IsDbaseDriver(std::string_view properties) {
  return core::UpperCase(properties).rfind("DBASE", 0) == 0;
}

std::string SqlQuoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

}  // namespace

TAdoConnection::TAdoConnection() = default;

TAdoConnection::~TAdoConnection() {
  try {
    Close();
  } catch (...) {
    // A handler failed; the connection goes anyway.
  }
  for (TAdoQuery* query : std::vector<TAdoQuery*>(queries_)) query->connection_ = nullptr;
}

std::string FolderConnectionString(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return "Provider=" + std::string(kJetProvider) + ";Data Source=\"" + folder +
         "\";Extended Properties=dBASE IV;";
}

void TAdoConnection::SetConnectionString(std::string text) {
  if (Connected()) throw EAdoError("Operation is not allowed when the object is open.");
  connection_string_ = std::move(text);
}

void TAdoConnection::Open() {
  if (Connected()) return;
  if (BeforeConnect) BeforeConnect(*this);
  TConnectionString parsed = TConnectionString::Parse(connection_string_);
  const std::string provider = parsed.GetOr(kProviderKey);
  if (provider.empty()) throw EAdoError("The connection string names no Provider");
  if (!core::SameText(provider, kJetProvider)) {
    throw EAdoError("Provider \"" + provider + "\" is not supported: only " +
                    std::string(kJetProvider) + " over a folder of dBASE tables is");
  }
  const std::string properties = parsed.GetOr(kExtendedPropertiesKey);
  if (!IsDbaseDriver(properties)) {
    throw EAdoError("Extended Properties \"" + properties +
                    "\" are not supported: the Data Source is read as a folder of dBASE tables");
  }
  const std::string folder = parsed.GetOr(kDataSourceKey);
  if (folder.empty()) throw EAdoError("The connection string names no Data Source folder");
  if (login_prompt_ && OnLogin) {
    std::string user = parsed.GetOr(kUserIdKey);
    std::string password = parsed.GetOr(kPasswordKey);
    OnLogin(*this, user, password);
    parsed.Set(kUserIdKey, user);
    parsed.Set(kPasswordKey, password);
    connection_string_ = parsed.Text();
  }
  try {
    engine_ = std::make_unique<TSqlEngine>(folder);
  } catch (const core::Exception& e) {
    throw EAdoError(e.Message());
  }
  if (AfterConnect) AfterConnect(*this);
}

void TAdoConnection::Close() {
  if (!Connected()) return;
  if (BeforeDisconnect) BeforeDisconnect(*this);
  for (TAdoQuery* query : std::vector<TAdoQuery*>(queries_)) query->Close();
  engine_.reset();
  if (AfterDisconnect) AfterDisconnect(*this);
}

const std::string& TAdoConnection::Folder() const {
  if (!engine_) throw EAdoError("Operation is not allowed when the object is closed.");
  return engine_->Folder();
}

TSqlEngine& TAdoConnection::Engine() {
  if (!engine_) Open();
  return *engine_;
}

void TAdoConnection::GetTableNames(core::TStringList& names) {
  names.BeginUpdate();
  names.Clear();
  for (const std::string& name : Engine().TableNames()) names.Add(name);
  names.EndUpdate();
}

void TAdoConnection::OpenSchemaTables(TAdoQuery& query) {
  std::string sql;
  for (const std::string& name : Engine().TableNames()) {
    if (!sql.empty()) sql += " UNION ALL ";
    sql += "SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, " + SqlQuoted(name) +
           " AS TABLE_NAME, 'TABLE' AS TABLE_TYPE";
  }
  if (sql.empty()) {
    sql = "SELECT NULL AS TABLE_CATALOG, NULL AS TABLE_SCHEMA, '' AS TABLE_NAME, "
          "'TABLE' AS TABLE_TYPE WHERE 0";
  }
  query.Close();
  query.SetConnection(this);
  query.SQL().SetText(sql);
  query.Open();
}

void TAdoConnection::AddQuery(TAdoQuery* query) {
  if (std::find(queries_.begin(), queries_.end(), query) == queries_.end()) {
    queries_.push_back(query);
  }
}

void TAdoConnection::RemoveQuery(TAdoQuery* query) {
  queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

}  // namespace lgoty::sql
