// Data sets that own their platform dataset: a table by name or an SQL query with
// parameters, and the ADO family that runs them over sql/ (TAdoConnection, TAdoQuery).
//
//   TfrxCustomDataset   owns the platform dataset; Filter/Filtered are forwarded to it;
//                       Master links it to a master data set. CloseDataSource from creation.
//     TfrxCustomTable   TableName, IndexName, IndexFieldNames, MasterFields;
//       TfrxADOTable
//     TfrxCustomQuery   SQL lines, Params derived from the text's ":name" markers;
//       TfrxADOQuery
//   TfrxCustomDatabase  a connection component; TfrxADODatabase owns a TAdoConnection.
//   TfrxADOComponents   not a report object: the host places one beside its reports and
//                       names the connection (DefaultDatabase) that ADO data sets without a
//                       Database of their own run on.
//
// How a query's text reaches the platform query. TfrxADOQuery keeps a copy of the text in
// SQL(); reading SQL() refreshes the copy from the platform query (under a copying flag),
// and every change of the copy (SQL.Add from a script, SQL.Text from a template) is carried
// into the platform query and rebuilds Params. The query opens at the first row access of
// the run (report/data_sets.h); its before-open handler first runs RefreshParams, which
// evaluates parameter expressions with the report's evaluator.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/string_list.h"
#include "core/variant.h"
#include "report/data_sets.h"

namespace lgoty::sql {
class TAdoConnection;
class TAdoQuery;
}  // namespace lgoty::sql

namespace lgoty::report {

class TfrxCustomDataset : public TfrxDBDataset {
  LGOTY_REPORT_CLASS(TfrxCustomDataset)
 public:
  TfrxCustomDataset();
  ~TfrxCustomDataset() override;

  std::string Filter() const { return filter_; }
  void SetFilter(std::string filter);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool value);
  // The master's platform dataset becomes the data source of the owned dataset.
  TfrxDBDataset* Master() const { return master_.Get(); }
  void SetMaster(TfrxDBDataset* master);

  // Hands the master data source to the platform dataset (nothing here: the platform
  // datasets of this program take no master source).
  virtual void SetMasterDataSource(data::TDataSource* source) { (void)source; }
  // Sets the platform master fields (";"-separated detail and master names).
  virtual void SetPlatformMasterFields(const std::string& detail, const std::string& master) {
    (void)detail;
    (void)master;
  }

 protected:
  // Takes the platform dataset this data set reads (called once by the concrete class).
  void SetOwnedDataSet(std::unique_ptr<data::TDataSet> dataset);
  data::TDataSet* OwnedDataSet() const { return owned_.get(); }
  data::TDataSource* MasterSource() const { return master_source_.get(); }

 private:
  std::unique_ptr<data::TDataSet> owned_;
  std::unique_ptr<data::TDataSource> master_source_;
  std::string filter_;
  bool filtered_ = false;
  Link<TfrxDBDataset> master_;
};

class TfrxCustomTable : public TfrxCustomDataset {
  LGOTY_REPORT_CLASS(TfrxCustomTable)
 public:
  virtual std::string IndexFieldNames() const { return index_field_names_; }
  virtual std::string IndexName() const { return index_name_; }
  virtual std::string TableName() const { return table_name_; }
  virtual void SetIndexFieldNames(std::string value) { index_field_names_ = std::move(value); }
  virtual void SetIndexName(std::string value) { index_name_ = std::move(value); }
  virtual void SetTableName(std::string value) { table_name_ = std::move(value); }
  // "DETAIL=MASTER;..." pairs. Setting passes the master names (through the master's
  // aliases) as the platform master fields and the detail names as its index fields.
  std::string MasterFields() const { return master_fields_; }
  void SetMasterFields(std::string value);

 private:
  std::string table_name_, index_name_, index_field_names_, master_fields_;
};

// One query parameter.
class TfrxParamItem final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxParamItem)
 public:
  std::string name;
  int data_type = 0;  // data::TFieldType ordinal; ftUnknown
  // A report expression evaluated each time the query opens; blank keeps Value.
  std::string expression;
  core::Variant value;
};

class TfrxParams : public core::TObject {
 public:
  const char* ClassName() const override { return "TfrxParams"; }
  int Count() const { return static_cast<int>(items_.size()); }
  // REQUIRES 0 <= index < Count(), else core::EListError.
  TfrxParamItem& Items(int index) const;
  TfrxParamItem& Add();
  void Clear() { items_.clear(); }
  // Position of the first item of that name (ASCII case-insensitive); -1 when none.
  int IndexOf(std::string_view name) const;
  TfrxParamItem* Find(std::string_view name) const;
  // Rebuilds the items from the ":name" markers of the text, in text order (a name used
  // twice gives two items unless ignore_dup_params). Items whose name stays keep their
  // type, value and expression. Markers follow the platform's rules: outside quotes (',
  // " and `), "::" is a literal colon, a name ends at a blank, ",", ";", ")", CR or LF,
  // and quote characters inside a name are dropped.
  void UpdateFromSql(std::string_view sql);
  bool ignore_dup_params = false;

 private:
  std::vector<std::unique_ptr<TfrxParamItem>> items_;
};

// The names of the parameter markers of a query text, in order, repeats included.
std::vector<std::string> frxParamMarkers(std::string_view sql);

class TfrxCustomQuery : public TfrxCustomDataset {
  LGOTY_REPORT_CLASS(TfrxCustomQuery)
 public:
  TfrxCustomQuery();

  // The query text as lines. A change rebuilds Params.
  virtual core::TStringList& SQL() { return sql_; }
  virtual void SetSQL(const core::TStringList& lines);
  TfrxParams& Params() { return params_; }
  const TfrxParams& Params() const { return params_; }
  // Throws core::Exception "Parameter "X" not found".
  TfrxParamItem& ParamByName(std::string_view name);
  bool IgnoreDupParams() const { return params_.ignore_dup_params; }
  void SetIgnoreDupParams(bool value);
  // Brings the platform parameters up to date with Params (types, expression values).
  virtual void RefreshParams() {}
  std::string sql_schema;

  // The parameters travel as the binary-defined collection "Parameters".
  void WriteDefinedProperties(PropValue::Properties& out) const override;
  bool ReadDefinedProperty(const std::string& name, const PropValue& value) override;

 protected:
  // The text changed: rebuild Params from it.
  virtual void SqlChanged();
  // Hooks the owned dataset's BeforeOpen: RefreshParams, then the handler it had.
  void HookBeforeOpen();

  core::TStringList sql_;

 private:
  TfrxParams params_;
};

class TfrxCustomDatabase : public TfrxDialogComponent {
  LGOTY_REPORT_CLASS(TfrxCustomDatabase)
 public:
  virtual void SetConnected(bool value) { (void)value; }
  virtual void SetDatabaseName(std::string value) { (void)value; }
  virtual void SetLoginPrompt(bool value) { (void)value; }
  virtual bool Connected() const { return false; }
  virtual std::string DatabaseName() const { return ""; }
  virtual bool LoginPrompt() const { return false; }
  // Writes the user name and password into the connection text.
  virtual void ApplyLogin(const std::string& login, const std::string& password) {
    (void)login;
    (void)password;
  }
};

// The connection text with "User ID=login" and "Password=password": a part already there
// (found without regard to letter case) gets its value replaced in place up to the next
// ";", a missing one is appended after ";".
std::string frxApplyLogin(std::string connection, const std::string& login,
                          const std::string& password);

class TfrxADODatabase final : public TfrxCustomDatabase {
  LGOTY_REPORT_CLASS(TfrxADODatabase)
 public:
  TfrxADODatabase();
  ~TfrxADODatabase() override;

  // The report's OnBeforeConnect may change the requested state first.
  void SetConnected(bool value) override;
  void SetDatabaseName(std::string value) override;
  void SetLoginPrompt(bool value) override;
  bool Connected() const override;
  std::string DatabaseName() const override;
  bool LoginPrompt() const override;
  void ApplyLogin(const std::string& login, const std::string& password) override;
  // The platform connection.
  sql::TAdoConnection& Database() { return *connection_; }

  // While loading a template Connected is only remembered; Loaded applies it.
  void Loaded() override;

 private:
  std::unique_ptr<sql::TAdoConnection> connection_;
  bool stored_connected_ = false;
};

// The process-wide chain of ADO component objects; the most recently created live one
// names the default connection.
class TfrxADOComponents : public core::TObject {
 public:
  TfrxADOComponents();
  ~TfrxADOComponents() override;
  TfrxADOComponents(const TfrxADOComponents&) = delete;
  TfrxADOComponents& operator=(const TfrxADOComponents&) = delete;
  const char* ClassName() const override { return "TfrxADOComponents"; }

  // Borrowed; cleared when the connection is destroyed.
  sql::TAdoConnection* DefaultDatabase() const;
  void SetDefaultDatabase(sql::TAdoConnection* connection);
  // The head of the chain; nullptr when none lives.
  static TfrxADOComponents* Current();

 private:
  // A query that is never opened, pointed at the default connection: the connection
  // clears its reference when it goes away.
  std::unique_ptr<sql::TAdoQuery> watch_;
  TfrxADOComponents* next_ = nullptr;
};

// The connection an ADO data set runs on: its database's, else the current default one.
sql::TAdoConnection* frxResolveAdoConnection(TfrxADODatabase* database);

class TfrxADOTable final : public TfrxCustomTable {
  LGOTY_REPORT_CLASS(TfrxADOTable)
 public:
  TfrxADOTable();
  ~TfrxADOTable() override;

  TfrxADODatabase* Database() const { return database_.Get(); }
  void SetDatabase(TfrxADODatabase* database);
  void SetTableName(std::string value) override;
  void SetIndexFieldNames(std::string value) override;
  void BeforeStartReport() override;
  // The platform dataset: a query reading the whole table.
  sql::TAdoQuery& Table() { return *query_; }

 private:
  void ResolveConnection();
  void UpdateText();
  sql::TAdoQuery* query_;
  Link<TfrxADODatabase> database_;
};

class TfrxADOQuery final : public TfrxCustomQuery {
  LGOTY_REPORT_CLASS(TfrxADOQuery)
 public:
  TfrxADOQuery();
  ~TfrxADOQuery() override;

  // The copy of the platform query's text (see the top of this file).
  core::TStringList& SQL() override;
  void SetSQL(const core::TStringList& lines) override;
  void RefreshParams() override;

  TfrxADODatabase* Database() const { return database_.Get(); }
  void SetDatabase(TfrxADODatabase* database);
  int CommandTimeout() const;
  void SetCommandTimeout(int seconds);
  TADOLockType LockType() const;
  void SetLockType(TADOLockType type);
  // Whether the last resolution found a connection.
  bool HasConnection() const { return has_connection_; }

  // RefreshParams, then runs the text without opening a row set (the platform refuses
  // every write with its own message).
  void ExecSQL();
  void BeforeStartReport() override;
  sql::TAdoQuery& Query() { return *query_; }

 protected:
  void SqlChanged() override;

 private:
  void ResolveConnection();
  sql::TAdoQuery* query_;
  Link<TfrxADODatabase> database_;
  bool copying_ = false;
  bool has_connection_ = false;
};

}  // namespace lgoty::report
