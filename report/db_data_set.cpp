// TfrxDBDataset: the report's adapter over a platform dataset.
#include <atomic>
#include <string>

#include "core/locale.h"
#include "core/stream.h"
#include "data/data_source.h"
#include "data/dataset.h"
#include "data/field.h"
#include "report/data_sets.h"
#include "report/resources.h"

namespace lgoty::report {

// A link to the DataSource property's source: the source clears it when it goes away.
class TfrxDBDataset::SourceWatch : public data::TDataLink {};

namespace {

std::string QuotedField(const std::string& user_name, const std::string& field) {
  return user_name + ".\"" + field + "\"";
}

bool IsMemoType(data::TFieldType t) {
  return t == data::TFieldType::ftMemo || t == data::TFieldType::ftFmtMemo ||
         t == data::TFieldType::ftOraClob;
}

// Fields generations are never given out twice in the process, so that a slot filled by
// one data set never counts for another.
uint64_t NextFieldsGeneration() {
  static std::atomic<uint64_t> counter{0};
  return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

TfrxDBDataset::TfrxDBDataset()
    : fields_generation_(NextFieldsGeneration()),
      dataset_watch_(std::make_unique<data::TDataSource>()),
      source_watch_(std::make_unique<SourceWatch>()) {}

void TfrxDBDataset::FieldListChanged() { fields_generation_ = NextFieldsGeneration(); }

TfrxDBDataset::~TfrxDBDataset() { RestoreHooks(); }

data::TDataSet* TfrxDBDataset::DataSet() const { return dataset_watch_->DataSet(); }

void TfrxDBDataset::SetDataSet(data::TDataSet* dataset) {
  RestoreHooks();
  source_watch_->SetDataSource(nullptr);
  dataset_watch_->SetDataSet(dataset);
  initialized_ = false;
  bookmark_.Clear();
  field_list_.Clear();
  FieldListChanged();
}

data::TDataSource* TfrxDBDataset::DataSource() const { return source_watch_->DataSource(); }

void TfrxDBDataset::SetDataSource(data::TDataSource* source) {
  RestoreHooks();
  dataset_watch_->SetDataSet(nullptr);
  source_watch_->SetDataSource(source);
  initialized_ = false;
  bookmark_.Clear();
  field_list_.Clear();
  FieldListChanged();
}

data::TDataSet* TfrxDBDataset::GetDataSet() const {
  if (data::TDataSet* ds = dataset_watch_->DataSet()) return ds;
  return source_watch_->DataSet();
}

// ---- run and hooks -------------------------------------------------------------------------

void TfrxDBDataset::InstallHooks() {
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr || hooks_installed_) return;
  old_after_open_ = ds->AfterOpen;
  old_before_close_ = ds->BeforeClose;
  ds->AfterOpen = [this](data::TDataSet& sender) { AfterOpenHook(&sender); };
  ds->BeforeClose = [this](data::TDataSet& sender) { BeforeCloseHook(&sender); };
  hooked_ = ds;
  hooks_installed_ = true;
}

void TfrxDBDataset::RestoreHooks() {
  if (!hooks_installed_) return;
  // A dataset destroyed meanwhile is no longer GetDataSet(): nothing to give back then.
  if (data::TDataSet* ds = GetDataSet(); ds != nullptr && ds == hooked_) {
    ds->AfterOpen = std::move(old_after_open_);
    ds->BeforeClose = std::move(old_before_close_);
  }
  old_after_open_ = nullptr;
  old_before_close_ = nullptr;
  hooked_ = nullptr;
  hooks_installed_ = false;
}

void TfrxDBDataset::StartRun() {
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) {
    std::string text = frxGet("dbNotConn");
    if (size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, Name());
    throw core::Exception(text);
  }
  RestoreHooks();
  InstallHooks();
  eof_ = false;
  initialized_ = false;
  host_bookmark_.Clear();
}

void TfrxDBDataset::FinishRun() {
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) {
    RestoreHooks();
    initialized_ = false;
    return;
  }
  // The host's cursor goes back where it was: to the row a current-row range started on,
  // or, for a dataset that was already open before the run, to the row it was on then.
  data::TBookmark back = !bookmark_.IsEmpty() ? bookmark_ : host_bookmark_;
  bookmark_.Clear();
  host_bookmark_.Clear();
  if (!back.IsEmpty() && ds->Active()) {
    try {
      ds->GotoBookmark(back);
    } catch (const core::Exception&) {
      // The row is gone (deleted meanwhile): the cursor stays where the run left it.
    }
  }
  if (close_data_source) Close();
  RestoreHooks();
  initialized_ = false;
}

void TfrxDBDataset::EnsureOpen() {
  data::TDataSet* ds = GetDataSet();
  if (initialized_ && ds != nullptr && ds->Active()) return;
  initialized_ = false;
  Open();
}

void TfrxDBDataset::Open() {
  if (initialized_) return;
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) return;
  initialized_ = true;
  const bool was_active = ds->Active();
  try {
    ds->Open();
  } catch (...) {
    initialized_ = false;
    throw;
  }
  AfterOpenHook(nullptr);
  bookmark_.Clear();
  if (range_begin == TfrxRangeBegin::rbCurrent || range_end == TfrxRangeEnd::reCurrent) {
    bookmark_ = ds->GetBookmark();
  } else if (was_active && hooks_installed_ && host_bookmark_.IsEmpty()) {
    host_bookmark_ = ds->GetBookmark();
  }
  TfrxDataSet::Open();
}

void TfrxDBDataset::AfterOpenHook(data::TDataSet* sender) {
  field_list_.Clear();
  FieldListChanged();
  data::TDataSet* ds = GetDataSet();
  if (ds != nullptr) {
    core::TStringList names;
    GetFieldList(names);
    for (int i = 0; i < names.Count(); ++i) {
      field_list_.AddObject(names[i], ds->FindField(ConvertAlias(names[i])));
    }
    FieldListChanged();
  }
  if (sender != nullptr && old_after_open_) old_after_open_(*sender);
}

void TfrxDBDataset::BeforeCloseHook(data::TDataSet* sender) {
  if (sender != nullptr && old_before_close_) old_before_close_(*sender);
  bookmark_.Clear();
  // The platform fields go away with the open dataset.
  field_list_.Clear();
  FieldListChanged();
  initialized_ = false;
}

void TfrxDBDataset::Close() {
  TfrxDataSet::Close();
  BeforeCloseHook(nullptr);
  if (data::TDataSet* ds = GetDataSet()) ds->Close();
}

// ---- navigation ----------------------------------------------------------------------------

void TfrxDBDataset::First() {
  EnsureOpen();
  data::TDataSet* ds = GetDataSet();
  if (ds != nullptr) {
    if (range_begin == TfrxRangeBegin::rbCurrent && !bookmark_.IsEmpty()) {
      ds->GotoBookmark(bookmark_);
    } else {
      ds->First();
    }
  }
  eof_ = false;
  TfrxDataSet::First();
}

void TfrxDBDataset::Next() {
  EnsureOpen();
  eof_ = false;
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) {
    TfrxDataSet::Next();
    return;
  }
  if (range_end == TfrxRangeEnd::reCurrent && ds->GetBookmark() == bookmark_) {
    // The range ends on the row that was current when the data set opened.
    eof_ = true;
    return;
  }
  ds->Next();
  TfrxDataSet::Next();
}

void TfrxDBDataset::Prior() {
  EnsureOpen();
  if (data::TDataSet* ds = GetDataSet()) ds->Prior();
  TfrxDataSet::Prior();
}

bool TfrxDBDataset::Eof() {
  EnsureOpen();
  data::TDataSet* ds = GetDataSet();
  bool base = TfrxDataSet::Eof();
  return base || (ds != nullptr && ds->Eof()) || eof_;
}

void TfrxDBDataset::Last() {
  EnsureOpen();
  if (data::TDataSet* ds = GetDataSet()) ds->Last();
}

bool TfrxDBDataset::IsEmpty() {
  EnsureOpen();
  data::TDataSet* ds = GetDataSet();
  return ds == nullptr || ds->IsEmpty();
}

bool TfrxDBDataset::Locate(const std::string& key_fields, const core::Variant& values,
                           bool case_insensitive, bool partial_key) {
  EnsureOpen();
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) return false;
  data::TLocateOptions options;
  options.loCaseInsensitive = case_insensitive;
  options.loPartialKey = partial_key;
  return ds->Locate(key_fields, values, options);
}

data::TField& TfrxDBDataset::FieldByName(const std::string& field) {
  EnsureOpen();
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) {
    std::string text = frxGet("dbNotConn");
    if (size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, Name());
    throw core::Exception(text);
  }
  return ds->FieldByName(ConvertAlias(field));
}

// ---- fields --------------------------------------------------------------------------------

data::TField* TfrxDBDataset::FindListField(const std::string& field, bool& listed) const {
  constexpr size_t kMaxRemembered = 256;
  int i = -1;
  if (auto it = field_index_.find(field);
      it != field_index_.end() && it->second.first < field_list_.Count() &&
      field_list_[it->second.first] == it->second.second) {
    i = it->second.first;
  } else {
    i = field_list_.IndexOf(field);
    if (i >= 0) {
      if (field_index_.size() >= kMaxRemembered) field_index_.clear();
      field_index_[field] = {i, field_list_[i]};
    }
  }
  listed = i >= 0;
  return listed ? static_cast<data::TField*>(field_list_.GetObject(i)) : nullptr;
}

bool TfrxDBDataset::HasField(const std::string& name) {
  if (field_aliases.Count() > 0) {
    for (int i = 0; i < field_aliases.Count(); ++i) {
      const std::string field = field_aliases.Names(i);
      const std::string alias = field_aliases.ValueFromIndex(i);
      if (field.empty() || field[0] == '-' || alias.empty()) continue;
      if (core::AnsiSameText(alias, name)) return true;
    }
    return false;
  }
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) return false;
  try {
    if (ds->FieldCount() > 0) {
      for (int i = 0; i < ds->FieldCount(); ++i) {
        if (core::AnsiSameText(ds->Fields()[i].FieldName(), name)) return true;
      }
    } else {
      data::TFieldDefs& defs = ds->FieldDefs();
      for (int i = 0; i < defs.Count(); ++i) {
        if (core::AnsiSameText(defs.Items(i).Name(), name)) return true;
      }
    }
  } catch (const core::Exception&) {
    // Not among the names listed before the failure.
  }
  return false;
}

void TfrxDBDataset::GetFieldList(core::TStringList& list) {
  list.Clear();
  if (field_aliases.Count() > 0) {
    for (int i = 0; i < field_aliases.Count(); ++i) {
      const std::string field = field_aliases.Names(i);
      const std::string alias = field_aliases.ValueFromIndex(i);
      if (field.empty() || field[0] == '-' || alias.empty()) continue;
      list.Add(alias);
    }
    return;
  }
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) return;
  try {
    if (ds->FieldCount() > 0) {
      for (int i = 0; i < ds->FieldCount(); ++i) list.Add(ds->Fields()[i].FieldName());
    } else {
      data::TFieldDefs& defs = ds->FieldDefs();
      for (int i = 0; i < defs.Count(); ++i) list.Add(defs.Items(i).Name());
    }
  } catch (const core::Exception&) {
    // What was listed before the failure stays.
  }
}

core::Variant TfrxDBDataset::Value(const std::string& field) {
  EnsureOpen();
  bool listed = false;
  data::TField* f = FindListField(field, listed);
  core::Variant value;
  ListedValue(field, f, listed, value);
  return value;
}

void TfrxDBDataset::SlotValue(const std::string& field, TfrxFieldSlot& slot, core::Variant& out) {
  // Opening rebuilds the field list (a new generation): the slot is checked after it.
  EnsureOpen();
  if (slot.generation != fields_generation_) {
    slot.field = FindListField(field, slot.listed);
    slot.generation = fields_generation_;
  }
  ListedValue(field, slot.field, slot.listed, out);
}

void TfrxDBDataset::ListedValue(const std::string& field, data::TField* f, bool listed, core::Variant& out) {
  if (!listed) {
    ReportFieldNotFound(field);
    out = core::Variant::Null();
    return;
  }
  if (f == nullptr) {
    out = core::Variant::Null();
    return;
  }
  switch (f->DataType()) {
    case data::TFieldType::ftBCD:
    case data::TFieldType::ftFMTBcd:
      if (f->IsNull()) {
        out = core::Variant::Null();
      } else {
        out = bcd_to_currency ? core::Variant::FromCurrency(f->AsFloat()) : core::Variant(f->AsFloat());
      }
      return;
    case data::TFieldType::ftLargeint:
      out = f->IsNull() ? core::Variant::Null() : core::Variant(static_cast<int64_t>(f->AsLargeInt()));
      return;
    case data::TFieldType::ftTimeStamp:
      out = f->IsNull() ? core::Variant::Null() : core::Variant::FromDate(f->AsDateTime());
      return;
    default:
      // One read of the record: a field whose stored value is empty or Null reads as Null.
      f->ReadVariant(out);
      if (out.IsEmpty()) out = core::Variant::Null();
      return;
  }
}

std::string TfrxDBDataset::DisplayText(const std::string& field) {
  data::TDataSet* ds = GetDataSet();
  if (ds != nullptr) EnsureOpen();
  if (ds == nullptr || !ds->Active()) return QuotedField(UserName(), field);
  if (field_list_.Count() == 0) return ds->FieldByName(field).DisplayText();
  bool listed = false;
  data::TField* f = FindListField(field, listed);
  if (!listed) {
    ReportFieldNotFound(field);
    return frxGet("dbFldNotFound") + " " + QuotedField(UserName(), field);
  }
  if (f == nullptr) return "";
  if (f->DataType() == data::TFieldType::ftWideString) return f->AsString();
  return f->DisplayText();
}

int TfrxDBDataset::DisplayWidth(const std::string& field) {
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) return 10;
  const std::string real = ConvertAlias(field);
  if (data::TField* f = ds->FindField(real)) return f->DisplayWidth();
  try {
    const data::TFieldDef* def = ds->FieldDefs().Find(real);
    if (def == nullptr) return 10;
    switch (def->DataType()) {
      case data::TFieldType::ftString:
      case data::TFieldType::ftFixedChar:
      case data::TFieldType::ftWideString: return def->Size();
      case data::TFieldType::ftDateTime: return 20;
      case data::TFieldType::ftLargeint: return 15;
      default: return 10;
    }
  } catch (const core::Exception&) {
    return 10;
  }
}

TfrxFieldType TfrxDBDataset::FieldType(const std::string& field) {
  data::TDataSet* ds = GetDataSet();
  if (ds == nullptr) return TfrxFieldType::fftNumeric;
  const std::string real = ConvertAlias(field);
  data::TFieldType type = data::TFieldType::ftInteger;
  if (data::TField* f = ds->FindField(real)) {
    type = f->DataType();
  } else {
    try {
      if (const data::TFieldDef* def = ds->FieldDefs().Find(real)) type = def->DataType();
    } catch (const core::Exception&) {
      // Left as an integer.
    }
  }
  switch (type) {
    case data::TFieldType::ftString:
    case data::TFieldType::ftFixedChar:
    case data::TFieldType::ftMemo:
    case data::TFieldType::ftFmtMemo:
    case data::TFieldType::ftWideString: return TfrxFieldType::fftString;
    case data::TFieldType::ftBoolean: return TfrxFieldType::fftBoolean;
    case data::TFieldType::ftDate:
    case data::TFieldType::ftTime:
    case data::TFieldType::ftDateTime:
    case data::TFieldType::ftTimeStamp: return TfrxFieldType::fftDate;
    default: return TfrxFieldType::fftNumeric;
  }
}

bool TfrxDBDataset::IsBlobField(const std::string& field) {
  EnsureOpen();
  bool listed = false;
  data::TField* f = FindListField(field, listed);
  return f != nullptr && f->IsBlob();
}

int TfrxDBDataset::RecordCount() {
  EnsureOpen();
  data::TDataSet* ds = GetDataSet();
  return ds != nullptr ? ds->RecordCount() : 0;
}

void TfrxDBDataset::CopyBlobTo(const std::string& field, core::TObject* target) {
  EnsureOpen();
  bool listed = false;
  data::TField* f = FindListField(field, listed);
  if (f == nullptr || !f->IsBlob() || target == nullptr) return;
  const bool memo = IsMemoType(f->DataType());
  if (auto* lines = dynamic_cast<core::TStringList*>(target)) {
    if (memo) {
      lines->SetText(f->AsString());
    } else {
      core::TMemoryStream bytes;
      f->SaveToStream(bytes);
      bytes.SetPosition(0);
      lines->SetText(bytes.ReadRest());
    }
  } else if (auto* stream = dynamic_cast<core::TStream*>(target)) {
    if (memo) {
      stream->Write(f->AsString());
    } else {
      f->SaveToStream(*stream);
    }
    stream->SetPosition(0);
  }
}

}  // namespace lgoty::report
