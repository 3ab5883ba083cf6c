#include "report/query_data_sets.h"

#include "data/data_source.h"
#include "data/dataset.h"
#include "report/class_registration.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxCustomDataset)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomTable)
LGOTY_REPORT_CLASS_IMPL(TfrxParamItem)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomQuery)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomDatabase)

// ---- TfrxCustomDataset ---------------------------------------------------------------------

TfrxCustomDataset::TfrxCustomDataset() : master_source_(std::make_unique<data::TDataSource>()) {
  close_data_source = true;
}

TfrxCustomDataset::~TfrxCustomDataset() {
  if (owned_) {
    // The handlers point into this object, part of which is gone already.
    owned_->BeforeOpen = nullptr;
    owned_->AfterOpen = nullptr;
    owned_->BeforeClose = nullptr;
    owned_->AfterClose = nullptr;
    SetDataSet(nullptr);
    owned_.reset();
  }
}

void TfrxCustomDataset::SetOwnedDataSet(std::unique_ptr<data::TDataSet> dataset) {
  owned_ = std::move(dataset);
  SetDataSet(owned_.get());
  if (owned_) {
    owned_->SetFilter(filter_);
    owned_->SetFiltered(filtered_);
  }
}

void TfrxCustomDataset::SetFilter(std::string filter) {
  filter_ = std::move(filter);
  if (owned_) owned_->SetFilter(filter_);
}

void TfrxCustomDataset::SetFiltered(bool value) {
  filtered_ = value;
  if (owned_) owned_->SetFiltered(value);
}

void TfrxCustomDataset::SetMaster(TfrxDBDataset* master) {
  master_.Set(master);
  master_source_->SetDataSet(master != nullptr ? master->GetDataSet() : nullptr);
  SetMasterDataSource(master != nullptr ? master_source_.get() : nullptr);
}

// ---- TfrxCustomTable -----------------------------------------------------------------------

void TfrxCustomTable::SetMasterFields(std::string value) {
  master_fields_ = std::move(value);
  core::TStringList pairs;
  std::string part;
  for (size_t i = 0; i <= master_fields_.size(); ++i) {
    if (i == master_fields_.size() || master_fields_[i] == ';') {
      if (!part.empty()) pairs.Add(part);
      part.clear();
    } else {
      part += master_fields_[i];
    }
  }
  std::string detail, master;
  auto* master_set = dynamic_cast<TfrxCustomDBDataSet*>(Master());
  for (int i = 0; i < pairs.Count(); ++i) {
    if (!detail.empty()) detail += ';';
    if (!master.empty()) master += ';';
    detail += pairs.Names(i);
    const std::string m = pairs.ValueFromIndex(i);
    master += master_set != nullptr ? master_set->ConvertAlias(m) : m;
  }
  SetPlatformMasterFields(detail, master);
  SetIndexFieldNames(detail);
}

// ---- TfrxParams ----------------------------------------------------------------------------

TfrxParamItem& TfrxParams::Items(int index) const {
  if (index < 0 || index >= Count()) {
    throw core::EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *items_[static_cast<size_t>(index)];
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

TfrxParamItem* TfrxParams::Find(std::string_view name) const {
  int i = IndexOf(name);
  return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

std::vector<std::string> frxParamMarkers(std::string_view sql) {
  std::vector<std::string> names;
  auto is_quote = [](char c) { return c == '\'' || c == '"' || c == '`'; };
  auto ends_name = [](char c) {
    return c == ' ' || c == ',' || c == ';' || c == ')' || c == '\r' || c == '\n';
  };
  char quote = 0;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      ++i;
      continue;
    }
    if (is_quote(c)) {
      quote = c;
      ++i;
      continue;
    }
    if (c != ':') {
      ++i;
      continue;
    }
    if (i + 1 < sql.size() && sql[i + 1] == ':') {
      i += 2;  // a literal colon
      continue;
    }
    // The name may be quoted, so quotes inside it are read through and dropped.
    size_t j = i + 1;
    std::string name;
    char name_quote = 0;
    while (j < sql.size()) {
      const char d = sql[j];
      if (name_quote != 0) {
        if (d == name_quote) {
          name_quote = 0;
        } else {
          name += d;
        }
      } else if (is_quote(d)) {
        name_quote = d;
      } else if (ends_name(d)) {
        break;
      } else {
        name += d;
      }
      ++j;
    }
    if (!name.empty()) names.push_back(name);
    i = j > i + 1 ? j : i + 1;
  }
  return names;
}

void TfrxParams::UpdateFromSql(std::string_view sql) {
  std::vector<std::unique_ptr<TfrxParamItem>> fresh;
  auto find_in = [](const std::vector<std::unique_ptr<TfrxParamItem>>& list,
                    const std::string& name) -> TfrxParamItem* {
    for (const auto& item : list) {
      if (SameName(item->name, name)) return item.get();
    }
    return nullptr;
  };
  for (const std::string& name : frxParamMarkers(sql)) {
    if (ignore_dup_params && find_in(fresh, name) != nullptr) continue;
    auto item = std::make_unique<TfrxParamItem>();
    item->name = name;
    if (const TfrxParamItem* old = find_in(items_, name)) {
      item->data_type = old->data_type;
      item->value = old->value;
      item->expression = old->expression;
    }
    fresh.push_back(std::move(item));
  }
  items_ = std::move(fresh);
}

// ---- TfrxCustomQuery -----------------------------------------------------------------------

TfrxCustomQuery::TfrxCustomQuery() {
  sql_.OnChange = [this] { SqlChanged(); };
}

void TfrxCustomQuery::SetSQL(const core::TStringList& lines) { sql_.Assign(lines); }

void TfrxCustomQuery::SqlChanged() { params_.UpdateFromSql(sql_.Text()); }

void TfrxCustomQuery::SetIgnoreDupParams(bool value) {
  params_.ignore_dup_params = value;
  SqlChanged();
}

TfrxParamItem& TfrxCustomQuery::ParamByName(std::string_view name) {
  if (TfrxParamItem* item = params_.Find(name)) return *item;
  throw core::Exception("Parameter \"" + std::string(name) + "\" not found");
}

void TfrxCustomQuery::HookBeforeOpen() {
  data::TDataSet* ds = OwnedDataSet();
  if (ds == nullptr) return;
  auto old = ds->BeforeOpen;
  ds->BeforeOpen = [this, old](data::TDataSet& sender) {
    RefreshParams();
    if (old) old(sender);
  };
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
  RefreshParams();
  return true;
}

void RegisterAdoClasses();

void RegisterQueryDataSetClasses() {
  using core::ObjectRole;
  using core::TObject;
  const ReportEnums& e = Enums();
  {
    using D = TfrxCustomDataset;
    auto b = RegisterFrxClass<D>("TfrxCustomDataset", "TfrxDBDataset", false);
    b.Prop("Filter", &D::Filter, &D::SetFilter);
    b.Prop("Filtered", &D::Filtered, &D::SetFiltered).Default(0);
    b.Reference(
        "Master", "TfrxDBDataset", [](const D& o) -> TObject* { return o.Master(); },
        [](D& o, TObject* v) { o.SetMaster(dynamic_cast<TfrxDBDataset*>(v)); });
  }
  {
    using D = TfrxCustomTable;
    auto b = RegisterFrxClass<D>("TfrxCustomTable", "TfrxCustomDataset", false);
    b.Prop("TableName", &D::TableName, &D::SetTableName);
    b.Prop("IndexName", &D::IndexName, &D::SetIndexName);
    b.Prop("IndexFieldNames", &D::IndexFieldNames, &D::SetIndexFieldNames);
    b.Prop("MasterFields", &D::MasterFields, &D::SetMasterFields);
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
  RegisterAdoClasses();
}

}  // namespace lgoty::report
