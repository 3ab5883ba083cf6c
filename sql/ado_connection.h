// TAdoConnection: a database connection configured by a connection string, as the report's
// query data sets and the register program use it. The one provider it stands in for is the
// desktop database provider with its dBASE driver:
//
//   Provider=Microsoft.Jet.OLEDB.4.0;Data Source="<folder>";Extended Properties=dBASE IV;
//
// Data Source is a folder; every table file in it is a table (sql/sql_engine.h). Extended
// Properties must name a dBASE driver ("dBASE III", "dBASE IV", "dBASE 5.0"). User ID and
// Password are accepted and not checked: the folder's tables have no accounts.
//
// Connecting: BeforeConnect, then the string is read and the folder opened (errors name the
// provider or the folder), then AfterConnect. Disconnecting closes every query that runs on
// the connection, then AfterDisconnect. LoginPrompt is kept for the callers that look at it;
// with it set, OnLogin (when given) is asked for the user name and password before the
// connection is made, and they are written into the connection string.
//
// Queries register themselves while they point at the connection; a connection that goes
// away clears their reference.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/object.h"
#include "core/string_list.h"
#include "sql/connection_string.h"

namespace lgoty::sql {

class TSqlEngine;
class TAdoQuery;

inline constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";

// The connection string over a folder of registers, as the register program and the
// report tools point their connection at a register's folder (a "/" is appended to a
// folder that lacks its trailing separator; an empty folder stays empty):
//   Provider=Microsoft.Jet.OLEDB.4.0;Data Source="<folder>";Extended Properties=dBASE IV;
std::string FolderConnectionString(std::string folder);

class TAdoConnection : public core::TObject {
 public:
  using TNotifyEvent = std::function<void(TAdoConnection&)>;
  using TLoginEvent =
      std::function<void(TAdoConnection&, std::string& user_name, std::string& password)>;

  TAdoConnection();
  ~TAdoConnection() override;
  TAdoConnection(const TAdoConnection&) = delete;
  TAdoConnection& operator=(const TAdoConnection&) = delete;
  const char* ClassName() const override { return "TADOConnection"; }

  const std::string& ConnectionString() const { return connection_string_; }
  // Throws EAdoError while connected ("Operation is not allowed when the object is open").
  void SetConnectionString(std::string text);
  bool LoginPrompt() const { return login_prompt_; }
  void SetLoginPrompt(bool value) { login_prompt_ = value; }

  bool Connected() const { return engine_ != nullptr; }
  void SetConnected(bool value) { value ? Open() : Close(); }
  // Throws EAdoError (bad string, unsupported provider, missing folder); stays closed then.
  void Open();
  void Close();

  // The folder the connection reads (REQUIRES: Connected()).
  const std::string& Folder() const;
  // Table names of the folder, sorted (connects when needed).
  void GetTableNames(core::TStringList& names);
  // Opens query on the table list: columns TABLE_CATALOG, TABLE_SCHEMA (both null),
  // TABLE_NAME, TABLE_TYPE ("TABLE"), one row per table.
  void OpenSchemaTables(TAdoQuery& query);

  // The engine of an open connection (connects when needed).
  TSqlEngine& Engine();

  TNotifyEvent BeforeConnect, AfterConnect, BeforeDisconnect, AfterDisconnect;
  TLoginEvent OnLogin;

 private:
  friend class TAdoQuery;
  void AddQuery(TAdoQuery* query);
  void RemoveQuery(TAdoQuery* query);

  std::string connection_string_;
  bool login_prompt_ = true;
  std::unique_ptr<TSqlEngine> engine_;
  std::vector<TAdoQuery*> queries_;
};

}  // namespace lgoty::sql
