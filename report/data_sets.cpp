#include "report/data_sets.h"

#include <algorithm>

#include "core/locale.h"
#include "core/stream.h"
#include "report/class_registration.h"
#include "report/report.h"
#include "report/report_evaluator.h"
#include "report/resources.h"

namespace lgoty::report {

LGOTY_REPORT_CLASS_IMPL(TfrxDataSet)
LGOTY_REPORT_CLASS_IMPL(TfrxUserDataSet)
LGOTY_REPORT_CLASS_IMPL(TfrxCustomDBDataSet)
LGOTY_REPORT_CLASS_IMPL(TfrxDBDataset)

// ---- TfrxGlobalDataSetList ---------------------------------------------------------------

TfrxGlobalDataSetList& TfrxGlobalDataSetList::Instance() {
  // Never destroyed: data sets held in static objects may leave it during exit.
  static auto* list = new TfrxGlobalDataSetList;
  return *list;
}

void TfrxGlobalDataSetList::Add(TfrxDataSet* data_set) {
  std::lock_guard lock(mutex_);
  items_.push_back(data_set);
}

void TfrxGlobalDataSetList::Remove(TfrxDataSet* data_set) {
  std::lock_guard lock(mutex_);
  auto it = std::find(items_.begin(), items_.end(), data_set);
  if (it != items_.end()) items_.erase(it);
}

std::vector<TfrxDataSet*> TfrxGlobalDataSetList::Items() const {
  std::lock_guard lock(mutex_);
  return items_;
}

TfrxDataSet* TfrxGlobalDataSetList::Find(std::string_view name, const TfrxReport* report) const {
  std::lock_guard lock(mutex_);
  for (TfrxDataSet* ds : items_) {
    if (report != nullptr) {
      const TfrxReport* own = ds->Report();
      if (own != nullptr && own != report) continue;
    }
    if (core::AnsiSameText(ds->UserName(), name)) return ds;
  }
  return nullptr;
}

TfrxDataSet* frxFindDataSet(TfrxDataSet* current, std::string_view name,
                            const TfrxComponent* owner) {
  if (owner == nullptr) return current;
  if (name.empty()) return nullptr;
  const TfrxReport* report = owner->Report();
  return TfrxGlobalDataSetList::Instance().Find(name, report);
}

// ---- TfrxDataSet ---------------------------------------------------------------------------

TfrxDataSet::TfrxDataSet() {
  TfrxGlobalDataSetList::Instance().Add(this);
  NamesChanged();
}

TfrxDataSet::~TfrxDataSet() {
  TfrxGlobalDataSetList::Instance().Remove(this);
  // Another data set may be made at this address.
  NamesChanged();
}

void TfrxDataSet::SetUserName(std::string name) {
  if (name.find_first_not_of(" \t\r\n") == std::string::npos) {
    throw core::Exception(frxGet("prInvProp"));
  }
  user_name_ = std::move(name);
  NamesChanged();
}

void TfrxDataSet::NameChanged(const std::string& old_name, const std::string& new_name) {
  if (user_name_.empty() || user_name_ == old_name) user_name_ = new_name;
  // UserName follows Name while empty: either way the name the data set is found by moved.
  NamesChanged();
}

TfrxReport* TfrxDataSet::ReportRef() const {
  if (TfrxReport* r = report_ref_.Get()) return r;
  return Report();
}

void TfrxDataSet::SetReportRef(TfrxReport* report) { report_ref_.Set(report); }

std::string TfrxDataSet::DisplayText(const std::string&) { return ""; }
int TfrxDataSet::DisplayWidth(const std::string&) { return 10; }
TfrxFieldType TfrxDataSet::FieldType(const std::string&) { return TfrxFieldType::fftNumeric; }
core::Variant TfrxDataSet::Value(const std::string&) { return core::Variant::Null(); }
void TfrxDataSet::SlotValue(const std::string& field, TfrxFieldSlot&, core::Variant& out) { out = Value(field); }

void TfrxDataSet::Open() {
  if (OnOpen) OnOpen(*this);
}

void TfrxDataSet::Close() {
  if (OnClose) OnClose(*this);
}

void TfrxDataSet::First() {
  rec_no_ = 0;
  eof_ = false;
  if (OnFirst) OnFirst(*this);
}

void TfrxDataSet::Next() {
  eof_ = false;
  ++rec_no_;
  if (range_end == TfrxRangeEnd::reCount && rec_no_ >= range_end_count) {
    rec_no_ = range_end_count - 1;
    eof_ = true;
    return;
  }
  if (OnNext) OnNext(*this);
}

void TfrxDataSet::Prior() {
  --rec_no_;
  if (OnPrior) OnPrior(*this);
}

bool TfrxDataSet::Eof() {
  bool result = range_end == TfrxRangeEnd::reCount && (rec_no_ >= range_end_count || eof_);
  if (OnCheckEOF) OnCheckEOF(*this, result);
  return result;
}

bool TfrxDataSet::HasField(const std::string& name) {
  core::TStringList list;
  GetFieldList(list);
  for (int i = 0; i < list.Count(); ++i) {
    if (core::AnsiSameText(list[i], name)) return true;
  }
  return false;
}

bool TfrxDataSet::IsBlobField(const std::string&) { return false; }

int TfrxDataSet::RecordCount() {
  if (range_begin == TfrxRangeBegin::rbFirst && range_end == TfrxRangeEnd::reCount) {
    return range_end_count;
  }
  return 0;
}

void TfrxDataSet::CopyBlobTo(const std::string&, core::TObject*) {}

void TfrxDataSet::GetFieldList(core::TStringList& list) { list.Clear(); }

void TfrxDataSet::ReportFieldNotFound(const std::string& field) {
  TfrxReport* report = ReportRef();
  if (report == nullptr) return;
  std::string object;
  if (ReportEvaluator* evaluator = report->Evaluator()) object = evaluator->CurrentObjectName();
  report->Errors().Add(object + ": " + frxGet("dbFldNotFound") + " " + UserName() + ".\"" +
                       field + "\"");
}

// ---- TfrxUserDataSet -----------------------------------------------------------------------

void TfrxUserDataSet::GetFieldList(core::TStringList& list) { list.Assign(fields); }

core::Variant TfrxUserDataSet::Value(const std::string& field) {
  core::Variant value = core::Variant::Null();
  if (OnGetValue) OnGetValue(field, value);
  if (OnNewGetValue) OnNewGetValue(*this, field, value);
  return value;
}

std::string TfrxUserDataSet::DisplayText(const std::string& field) {
  return core::VarToStr(Value(field));
}

// ---- TfrxCustomDBDataSet -------------------------------------------------------------------

TfrxCustomDBDataSet::TfrxCustomDBDataSet() {
  field_list_.SetSorted(true);
  field_list_.SetDuplicates(core::Duplicates::dupIgnore);
}

std::string TfrxCustomDBDataSet::ConvertAlias(const std::string& alias) const {
  for (int i = 0; i < field_aliases.Count(); ++i) {
    if (core::AnsiSameText(field_aliases.ValueFromIndex(i), alias)) {
      return field_aliases.Names(i);
    }
  }
  return alias;
}

std::string TfrxCustomDBDataSet::GetAlias(const std::string& field_name) const {
  for (int i = 0; i < field_aliases.Count(); ++i) {
    if (core::AnsiSameText(field_aliases.Names(i), field_name)) {
      return field_aliases.ValueFromIndex(i);
    }
  }
  return field_name;
}

int TfrxCustomDBDataSet::FieldsCount() {
  core::TStringList list;
  GetFieldList(list);
  return list.Count();
}

// ---- class registration --------------------------------------------------------------------

void RegisterQueryDataSetClasses();

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
  RegisterQueryDataSetClasses();
}

}  // namespace lgoty::report
