// The data-set classes of the report object model as templates store them: the abstract
// data set, the callback-driven user data set, field aliases, the adapter over a platform
// dataset, the owning table and query data sets with their parameters, and the ADO family.
// Iteration, values and the run contract belong to the data-set engine; this file holds
// the published state that a template load restores.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/string_list.h"
#include "core/variant.h"
#include "report/dialog_controls.h"

namespace lgoty::report {

class TfrxDataSet : public TfrxDialogComponent {
  LGOTY_REPORT_CLASS(TfrxDataSet)
 public:
  // The name under which expressions and bands refer to the data set; the component name
  // when empty.
  std::string UserName() const { return user_name_.empty() ? Name() : user_name_; }
  // A text that is empty after trimming raises core::Exception with the resource text
  // of prInvProp; the old name stays.
  void SetUserName(std::string name);
  // A rename takes UserName along when it was empty or equal to the old name.
  void NameChanged(const std::string& old_name, const std::string& new_name) override;

  bool enabled = true;
  TfrxRangeBegin range_begin = TfrxRangeBegin::rbFirst;
  TfrxRangeEnd range_end = TfrxRangeEnd::reLast;
  int range_end_count = 0;

 private:
  std::string user_name_;
};

class TfrxUserDataSet : public TfrxDataSet {
  LGOTY_REPORT_CLASS(TfrxUserDataSet)
 public:
  core::TStringList fields;
};

class TfrxCustomDBDataSet : public TfrxDataSet {
  LGOTY_REPORT_CLASS(TfrxCustomDBDataSet)
 public:
  core::TStringList field_aliases;
  bool close_data_source = false;
  bool open_data_source = true;
};

class TfrxDBDataset : public TfrxCustomDBDataSet {
  LGOTY_REPORT_CLASS(TfrxDBDataset)
 public:
  bool bcd_to_currency = false;
};

class TfrxCustomDataset : public TfrxDBDataset {
  LGOTY_REPORT_CLASS(TfrxCustomDataset)
 public:
  TfrxCustomDataset() { close_data_source = true; }
  std::string filter;
  bool filtered = false;
  Link<TfrxDBDataset> master;
};

class TfrxCustomTable : public TfrxCustomDataset {
  LGOTY_REPORT_CLASS(TfrxCustomTable)
 public:
  std::string table_name, index_name, index_field_names, master_fields;
};

// One query parameter.
class TfrxParamItem final : public TfrxPersistent {
  LGOTY_REPORT_CLASS(TfrxParamItem)
 public:
  std::string name;
  int data_type = 0;  // TFieldType ordinal; ftUnknown
  std::string expression;
  core::Variant value;
};

class TfrxParams {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TfrxParamItem& Items(int index) const { return *items_[static_cast<size_t>(index)]; }
  TfrxParamItem& Add();
  void Clear() { items_.clear(); }
  // Position of the first item of that name (ASCII case-insensitive); -1 when none.
  int IndexOf(std::string_view name) const;
  bool ignore_dup_params = false;

 private:
  std::vector<std::unique_ptr<TfrxParamItem>> items_;
};

class TfrxCustomQuery : public TfrxCustomDataset {
  LGOTY_REPORT_CLASS(TfrxCustomQuery)
 public:
  core::TStringList& SQL() { return sql_; }
  const core::TStringList& SQL() const { return sql_; }
  TfrxParams& Params() { return params_; }
  const TfrxParams& Params() const { return params_; }
  bool IgnoreDupParams() const { return params_.ignore_dup_params; }
  void SetIgnoreDupParams(bool value) { params_.ignore_dup_params = value; }
  std::string sql_schema;

  // The parameters travel as the binary-defined collection "Parameters".
  void WriteDefinedProperties(PropValue::Properties& out) const override;
  bool ReadDefinedProperty(const std::string& name, const PropValue& value) override;

 private:
  core::TStringList sql_;
  TfrxParams params_;
};

class TfrxCustomDatabase : public TfrxDialogComponent {
  LGOTY_REPORT_CLASS(TfrxCustomDatabase)
};

class TfrxADODatabase final : public TfrxCustomDatabase {
  LGOTY_REPORT_CLASS(TfrxADODatabase)
 public:
  // The connection string.
  std::string database_name;
  bool login_prompt = true;
  bool connected = false;
};

class TfrxADOTable final : public TfrxCustomTable {
  LGOTY_REPORT_CLASS(TfrxADOTable)
 public:
  Link<TfrxADODatabase> database;
};

class TfrxADOQuery final : public TfrxCustomQuery {
  LGOTY_REPORT_CLASS(TfrxADOQuery)
 public:
  Link<TfrxADODatabase> database;
  int command_timeout = 30;
  TADOLockType lock_type = TADOLockType::ltReadOnly;
};

void RegisterDataSetClasses();

}  // namespace lgoty::report
