#include "report/data_sets.h"

#include "report/class_registration.h"
#include "report/resources.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxDataSet)
LGOTY_REPORT_CLASS_IMPL(TfrxUserDataSet)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomDBDataSet)
LGOTY_REPORT_CLASS_IMPL(TfrxDBDataset)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomDataset)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomTable)
LGOTY_REPORT_CLASS_IMPL(TfrxParamItem)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomQuery)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomDatabase)
LGOTY_REPORT_CLASS_IMPL(TfrxADODatabase)
LGOTY_REPORT_CLASS_IMPL(TfrxADOTable)
LGOTY_REPORT_CLASS_IMPL(TfrxADOQuery)

void TfrxDataSet::SetUserName(std::string name) {
  if (name.find_first_not_of(" \t\r\n") == std::string::npos) {
    throw core::Exception(frxGet("prInvProp"));
  }
  user_name_ = std::move(name);
}

void TfrxDataSet::NameChanged(const std::string& old_name, const std::string& new_name) {
  if (user_name_.empty() || user_name_ == old_name) user_name_ = new_name;
}

TfrxParamItem& TfrxParams::Add() {
  items_.push_back(std::make_unique<TfrxParamItem>());
  return *items_.back();
}

int TfrxParams::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameName(items_[i]->name, name)) return static_cast<int>(i);
  }
  return -1;
}

namespace {

PropValue VariantToPropValue(const core::Variant& v) {
  using K = core::Variant::Kind;
  PropValue p;
  switch (v.kind()) {
    case K::Empty: p.type = PropValue::Type::Nil; break;
    case K::Null: p.type = PropValue::Type::Null; break;
    case K::Boolean:
      p.type = PropValue::Type::Boolean;
      p.integer = v.AsBoolean() ? 1 : 0;
      break;
    case K::Smallint: case K::Integer: case K::Int64: p = PropValue::Int(v.ordinal()); break;
    case K::Double: case K::Currency: case K::Date:
      p.type = PropValue::Type::Float;
      p.real = v.AsDouble();
      break;
    default: p = PropValue::Str(v.AsString()); break;
  }
  return p;
}

core::Variant PropValueToVariant(const PropValue& p) {
  switch (p.type) {
    case PropValue::Type::Null: return core::Variant::Null();
    case PropValue::Type::Integer: return core::Variant(p.integer);
    case PropValue::Type::Float: return core::Variant(p.real);
    case PropValue::Type::Boolean: return core::Variant(p.integer != 0);
    case PropValue::Type::String:
    case PropValue::Type::Ident: return core::Variant(p.text);
    default: return core::Variant();
  }
}

}  // namespace

void TfrxCustomQuery::WriteDefinedProperties(PropValue::Properties& out) const {
  TfrxDialogComponent::WriteDefinedProperties(out);
  if (params_.Count() == 0) return;
  PropValue collection;
  collection.type = PropValue::Type::Collection;
  const core::EnumInfo& field_types = Enums().field_type;
  for (int i = 0; i < params_.Count(); ++i) {
    const TfrxParamItem& item = params_.Items(i);
    PropValue::Properties props;
    props.emplace_back("Name", PropValue::Str(item.name));
    PropValue type;
    type.type = PropValue::Type::Ident;
    type.text = field_types.NameOf(item.data_type);
    props.emplace_back("DataType", type);
    props.emplace_back("Expression", PropValue::Str(item.expression));
    props.emplace_back("Value", VariantToPropValue(item.value));
    collection.items.push_back(std::move(props));
  }
  out.emplace_back("Parameters", std::move(collection));
}

bool TfrxCustomQuery::ReadDefinedProperty(const std::string& name, const PropValue& value) {
  if (name != "Parameters") return TfrxDialogComponent::ReadDefinedProperty(name, value);
  if (value.type != PropValue::Type::Collection) return false;
  params_.Clear();
  const core::EnumInfo& field_types = Enums().field_type;
  for (const PropValue::Properties& props : value.items) {
    TfrxParamItem& item = params_.Add();
    for (const auto& [prop, v] : props) {
      if (prop == "Name") {
        item.name = v.text;
      } else if (prop == "DataType") {
        int type = field_types.IndexOf(v.text);
        item.data_type = type < 0 ? 0 : type;
      } else if (prop == "Expression") {
        item.expression = v.text;
      } else if (prop == "Value") {
        item.value = PropValueToVariant(v);
      }
    }
  }
  return true;
}

void RegisterDataSetClasses() {
  using core::ObjectRole;
  using core::TObject;
  const ReportEnums& e = Enums();
  {
    using D = TfrxDataSet;
    auto b = RegisterFrxClass<D>("TfrxDataSet", "TfrxDialogComponent", false);
    b.Prop("UserName", &D::UserName, &D::SetUserName);
    b.Field("Enabled", &D::enabled).Default(1);
    b.Enum("RangeBegin", &D::range_begin, e.range_begin).Default(0);
    b.Enum("RangeEnd", &D::range_end, e.range_end).Default(0);
    b.Field("RangeEndCount", &D::range_end_count).Default(0);
  }
  {
    auto b = RegisterFrxClass<TfrxUserDataSet>("TfrxUserDataSet", "TfrxDataSet");
    b.Object("Fields", ObjectRole::StringList, "TStrings", [](const TfrxUserDataSet& o) -> TObject* {
      return const_cast<core::TStringList*>(&o.fields);
    });
  }
  {
    using D = TfrxCustomDBDataSet;
    auto b = RegisterFrxClass<D>("TfrxCustomDBDataSet", "TfrxDataSet", false);
    b.Object("FieldAliases", ObjectRole::StringList, "TStrings", [](const D& o) -> TObject* {
      return const_cast<core::TStringList*>(&o.field_aliases);
    });
    b.Field("CloseDataSource", &D::close_data_source).Default(0);
    b.Field("OpenDataSource", &D::open_data_source).Default(1);
  }
  {
    auto b = RegisterFrxClass<TfrxDBDataset>("TfrxDBDataset", "TfrxCustomDBDataSet");
    b.Field("BCDToCurrency", &TfrxDBDataset::bcd_to_currency).Default(0);
  }
  {
    using D = TfrxCustomDataset;
    auto b = RegisterFrxClass<D>("TfrxCustomDataset", "TfrxDBDataset", false);
    b.Field("Filter", &D::filter);
    b.Field("Filtered", &D::filtered).Default(0);
    b.Reference(
        "Master", "TfrxDBDataset", [](const D& o) -> TObject* { return o.master.Get(); },
        [](D& o, TObject* v) { o.master.Set(dynamic_cast<TfrxDBDataset*>(v)); });
  }
  {
    using D = TfrxCustomTable;
    auto b = RegisterFrxClass<D>("TfrxCustomTable", "TfrxCustomDataset", false);
    b.Field("TableName", &D::table_name);
    b.Field("IndexName", &D::index_name);
    b.Field("IndexFieldNames", &D::index_field_names);
    b.Field("MasterFields", &D::master_fields);
  }
  {
    using P = TfrxParamItem;
    auto b = RegisterFrxClass<P>("TfrxParamItem", nullptr);
    b.Field("Name", &P::name);
    b.Enum("DataType", &P::data_type, e.field_type).Default(0);
    b.Field("Expression", &P::expression);
    b.Field("Value", &P::value);
  }
  {
    using D = TfrxCustomQuery;
    auto b = RegisterFrxClass<D>("TfrxCustomQuery", "TfrxCustomDataset", false);
    b.Object("SQL", ObjectRole::StringList, "TStrings",
             [](const D& o) -> TObject* { return &const_cast<D&>(o).SQL(); });
    b.Prop("IgnoreDupParams", &D::IgnoreDupParams, &D::SetIgnoreDupParams).Default(0);
    b.Field("SQLSchema", &D::sql_schema);
  }
  RegisterFrxClass<TfrxCustomDatabase>("TfrxCustomDatabase", "TfrxDialogComponent", false);
  {
    using D = TfrxADODatabase;
    auto b = RegisterFrxClass<D>("TfrxADODatabase", "TfrxCustomDatabase");
    b.Field("DatabaseName", &D::database_name);
    b.Field("LoginPrompt", &D::login_prompt).Default(1);
    b.Field("Connected", &D::connected).Default(0);
  }
  {
    using D = TfrxADOTable;
    auto b = RegisterFrxClass<D>("TfrxADOTable", "TfrxCustomTable");
    b.Reference(
        "Database", "TfrxADODatabase", [](const D& o) -> TObject* { return o.database.Get(); },
        [](D& o, TObject* v) { o.database.Set(dynamic_cast<TfrxADODatabase*>(v)); });
  }
  {
    using D = TfrxADOQuery;
    auto b = RegisterFrxClass<D>("TfrxADOQuery", "TfrxCustomQuery");
    b.Reference(
        "Database", "TfrxADODatabase", [](const D& o) -> TObject* { return o.database.Get(); },
        [](D& o, TObject* v) { o.database.Set(dynamic_cast<TfrxADODatabase*>(v)); });
    b.Field("CommandTimeout", &D::command_timeout);
    b.Enum("LockType", &D::lock_type, e.lock_type);
  }
}

}  // namespace lgoty::report
