// TDbf: index selection, building and removing indexes, Locate on an index, and the
// master-detail range.
//
// Setting IndexName: the name is trimmed and resolved (a name with an extension is an .ndx
// file, relative to FilePathFull without a folder), the physical record under the old cursor
// is remembered, and a new cursor is made on the index registered under that name, or in
// physical order when none is (IndexName is then cleared). The new cursor goes to the
// remembered record and a browsing dataset re-reads its window around it. A non-empty name
// that names no index raises "Index "%s" does not exist." after that fallback.
#include <algorithm>

#include "core/variant.h"
#include "data/database_error.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_header.h"
#include "dbf/dbf_parser.h"
#include "dbf/index_file.h"
#include "dbf/index_keys.h"
#include "dbf/table_cursor.h"
#include "dbf/table_dataset.h"
#include "platform/file.h"
#include "platform/system.h"

namespace lgoty::dbf {

namespace {

std::string Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return std::string(text);
}

bool HasExtension(std::string_view name) {
  return !platform::ExtractFileExt(std::string(name)).empty();
}

TIndexOptions ToIndexOptions(TIndexOptionSet options) {
  TIndexOptions out;
  out.descending = options.Has(TIndexOption::ixDescending);
  out.expression = options.Has(TIndexOption::ixExpression);
  if (options.Has(TIndexOption::ixPrimary)) out.kind = TIndexKind::ikDistinct;
  else if (options.Has(TIndexOption::ixUnique)) out.kind = TIndexKind::ikUnique;
  return out;
}

// Ends a temporary exclusive switch of the table however the work in between ends.
class ExclusiveScope {
 public:
  explicit ExclusiveScope(TDbfFile& file) : file_(file), switched_(file.IsShared()) {
    if (switched_) file_.TryExclusive();
  }
  ~ExclusiveScope() {
    if (!switched_) return;
    try {
      file_.EndExclusive();
    } catch (...) {
      // The files stay open in the exclusive mode; the next close releases them.
    }
  }
  ExclusiveScope(const ExclusiveScope&) = delete;
  ExclusiveScope& operator=(const ExclusiveScope&) = delete;

 private:
  TDbfFile& file_;
  bool switched_;
};

}  // namespace

// ---- finding indexes ------------------------------------------------------------------------

std::string TDbf::ResolveIndexName(std::string_view name) const {
  std::string text = Trim(name);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  if (platform::ExtractFilePath(text).empty()) return FilePathFull() + text;
  return text;
}

TIndexFile* TDbf::FindNdx(const std::string& path) {
  if (!file_) return nullptr;
  for (size_t i = 0; i < file_->IndexCount(); ++i) {
    auto* index = dynamic_cast<TIndexFile*>(&file_->Index(i));
    if (index && !index->IsMdx() && index->FileName() == path) return index;
  }
  return nullptr;
}

bool TDbf::FindIndex(std::string_view name, TIndexFile*& file, TIndexTag*& tag) {
  file = nullptr;
  tag = nullptr;
  const std::string trimmed = Trim(name);
  if (trimmed.empty() || !file_) return false;
  if (HasExtension(trimmed)) {
    TIndexFile* ndx = FindNdx(ResolveIndexName(trimmed));
    if (!ndx || ndx->TagCount() == 0) return false;
    file = ndx;
    tag = &ndx->Tag(0);
    return true;
  }
  TIndexFile* mdx = ProductionIndexOf(*file_, false);
  if (!mdx) return false;
  tag = mdx->FindTag(trimmed);
  if (!tag) return false;
  file = mdx;
  return true;
}

// ---- cursors --------------------------------------------------------------------------------

void TDbf::SwitchCursor(TIndexFile* file, TIndexTag* tag) {
  uint32_t n = 1;
  if (State() == data::TDataSetState::dsBrowse && !IsEmpty()) {
    n = Cast(ActiveBuffer()).physical;
  } else if (cursor_ && cursor_->PhysicalRecNo() != 0) {
    n = cursor_->PhysicalRecNo();
  }
  cursor_.reset();
  if (file && tag) {
    cursor_ = std::make_unique<TIndexCursor>(*file, *tag);
  } else {
    cursor_ = std::make_unique<TPhysicalCursor>(*file_);
  }
  ApplyMasterRange();
  cursor_->SetPhysicalRecNo(n);
  if (State() == data::TDataSetState::dsBrowse) {
    CursorPosChanged();
    Resync(false, false);
  }
}

void TDbf::ApplyIndexName() {
  TIndexFile* file = nullptr;
  TIndexTag* tag = nullptr;
  if (!FindIndex(index_name_, file, tag)) index_name_.clear();
  SwitchCursor(file, tag);
}

void TDbf::SetIndexName(std::string_view name) {
  index_name_ = Trim(name);
  if (!Active()) return;
  CheckBrowseMode();
  const std::string wanted = index_name_;
  ApplyIndexName();
  if (!wanted.empty() && index_name_.empty()) throw EDbfError(IndexNotFoundMessage(wanted));
}

std::string TDbf::IndexFieldNames() const {
  auto* index = IndexCursor();
  return index ? index->Tag().Header().expression : std::string();
}

void TDbf::SetIndexFieldNames(std::string_view expression) {
  const std::string wanted = Trim(expression);
  if (wanted.empty()) {
    SetIndexName("");
    return;
  }
  TDbfIndexDef* def = indexes_.FindBySortField(wanted);
  if (!def) throw EDbfError(IndexNotFoundMessage(wanted));
  SetIndexName(def->IndexFile());
}

void TDbf::DropIndexCursorOn(TIndexFile* file, TIndexTag* tag) {
  auto* index = IndexCursor();
  if (!index || &index->File() != file) return;
  if (tag && &index->Tag() != tag) return;
  SwitchCursor(nullptr, nullptr);
  index_name_.clear();
}

void TDbf::RestoreIndexCursor(bool had_index) {
  if (!had_index || index_name_.empty()) return;
  TIndexFile* file = nullptr;
  TIndexTag* tag = nullptr;
  if (FindIndex(index_name_, file, tag)) {
    SwitchCursor(file, tag);
  } else {
    index_name_.clear();
  }
}

// ---- building and removing ------------------------------------------------------------------

namespace {

// Wires OnProgress into one index file's build and unwires it again, so a later build by
// another route never calls a handler the owner has meanwhile changed.
class BuildProgressScope {
 public:
  BuildProgressScope(TDbf& table, TIndexFile& index) : index_(index) {
    if (table.OnProgress)
      index_.SetOnBuildProgress(
          [&table](uint64_t done, uint64_t total) { table.OnProgress(table, done, total); });
  }
  ~BuildProgressScope() { index_.SetOnBuildProgress(nullptr); }
  BuildProgressScope(const BuildProgressScope&) = delete;
  BuildProgressScope& operator=(const BuildProgressScope&) = delete;

 private:
  TIndexFile& index_;
};

}  // namespace

void TDbf::BuildIndex(std::string_view name, std::string_view expression,
                      TIndexOptionSet options) {
  CheckActive();
  CheckBrowseMode();
  const std::string trimmed = Trim(name);
  const std::string key = Trim(expression);
  if (trimmed.empty()) throw EDbfError("An index needs a name.");
  const TIndexOptions index_options = ToIndexOptions(options);
  // The cursor may stand on the index about to be replaced: physical order meanwhile.
  const bool had_index = IndexCursor() != nullptr;
  if (had_index) SwitchCursor(nullptr, nullptr);
  try {
    if (HasExtension(trimmed)) {
      const std::string path = ResolveIndexName(trimmed);
      if (TIndexFile* existing = FindNdx(path)) file_->RemoveIndex(existing);
      ExclusiveScope exclusive(*file_);
      auto ndx = std::make_unique<TIndexFile>(*file_);
      ndx->SetFileName(path);
      ndx->SetMode(IndexCreateMode(file_->Mode()));
      ndx->Open();
      {
        BuildProgressScope progress(*this, *ndx);
        ndx->CreateTag(key, trimmed, index_options);
      }
      file_->AddIndex(std::move(ndx));
      if (!indexes_.Find(trimmed)) indexes_.Add(trimmed, key, options, false);
    } else {
      TIndexFile* mdx = ProductionIndexOf(*file_, false);
      const bool created = mdx == nullptr;
      // Replacing a tag deletes it first, which a shared table refuses before any switch.
      if (mdx && mdx->FindTag(trimmed)) mdx->DeleteTag(trimmed);
      {
        ExclusiveScope exclusive(*file_);
        mdx = ProductionIndexOf(*file_, true);
        BuildProgressScope progress(*this, *mdx);
        mdx->CreateTag(key, trimmed, index_options);
      }
      if (created && file_->IsShared()) {
        // A production index made during the switch was created exclusively; it is opened
        // again shared, as the other programs on this table will open it.
        mdx->Close();
        mdx->SetMode(IndexOpenMode(file_->Mode()));
        mdx->Open();
      }
      if (TDbfIndexDef* def = indexes_.Find(trimmed)) {
        def->SetSortField(mdx->FindTag(trimmed)->Header().expression);
        def->SetOptions(options);
      }
      AddProductionIndexDefs();
    }
  } catch (...) {
    RestoreIndexCursor(had_index);
    throw;
  }
  RestoreIndexCursor(had_index);
}

void TDbf::RemoveIndex(std::string_view name) {
  const std::string trimmed = Trim(name);
  if (trimmed.empty()) return;
  auto forget = [this, &trimmed] {
    for (int i = 0; i < indexes_.Count(); ++i) {
      if (NormalizeIndexText(indexes_[i].IndexFile()) == NormalizeIndexText(trimmed)) {
        indexes_.Delete(i);
        return;
      }
    }
  };
  if (HasExtension(trimmed)) {
    const std::string path = ResolveIndexName(trimmed);
    const bool listed = indexes_.Find(trimmed) != nullptr;
    TIndexFile* ndx = FindNdx(path);
    if (!ndx && !listed) return;
    if (ndx) {
      if (Active()) CheckBrowseMode();
      DropIndexCursorOn(ndx, nullptr);
      file_->RemoveIndex(ndx);
    }
    platform::DeleteFile(path);
    forget();
    return;
  }
  if (!file_) {
    forget();
    return;
  }
  CheckBrowseMode();
  TIndexFile* mdx = ProductionIndexOf(*file_, false);
  if (!mdx || !mdx->FindTag(trimmed)) return;
  if (!exclusive_ || read_only_) throw EDbfError(kNeedExclusiveAccess);
  const bool had_index = IndexCursor() != nullptr;
  if (had_index) SwitchCursor(nullptr, nullptr);
  try {
    mdx->DeleteTag(trimmed);
    if (mdx->TagCount() == 0) {
      // No index name refers to the production index any more: it goes, with the flag.
      const std::string path = mdx->FileName();
      file_->RemoveIndex(mdx);
      platform::DeleteFile(path);
      core::PutU8(file_->Header(), dbf_layout::kProductionIndexOffset, 0);
      file_->WriteHeader();
    }
  } catch (...) {
    RestoreIndexCursor(had_index);
    throw;
  }
  forget();
  RestoreIndexCursor(had_index);
}

// ---- Locate ---------------------------------------------------------------------------------

std::vector<std::byte> TDbf::SearchKey(TIndexTag& tag, const core::Variant& value) const {
  std::vector<std::byte> key(tag.KeyLength(), std::byte{' '});
  if (tag.NumericKeys()) {
    const double number = value.AsDouble();
    if (tag.Format() == TIndexFormat::ifMdx) EncodeMdxNumericKey(number, key);
    else EncodeNdxNumericKey(number, key);
    return key;
  }
  const std::string text = Translate(core::VarToStr(value), true);
  std::copy_n(reinterpret_cast<const std::byte*>(text.data()), std::min(text.size(), key.size()),
              key.begin());
  return key;
}

bool TDbf::IndexLocate(TIndexCursor& cursor, const std::vector<std::byte>& key, bool partial,
                       uint32_t& found) {
  if (!cursor.Search(key, !partial)) return false;
  Buffer& probe = Cast(LookupBuffer());
  bool skipped = false;
  for (;;) {
    const uint32_t n = cursor.PhysicalRecNo();
    if (n == 0) return false;
    if (ReadInto(probe, n) && RecordVisible(probe)) break;
    skipped = true;
    if (!cursor.Next()) return false;
  }
  if (skipped && !partial) {
    const std::span<const std::byte> current = cursor.CurrentKey();
    if (current.size() < key.size() ||
        cursor.Tag().Compare(current.data(), key.data(), key.size()) != 0) {
      return false;
    }
  }
  found = cursor.PhysicalRecNo();
  return true;
}

bool TDbf::LocateRecord(std::string_view key_fields, const std::vector<data::TField*>& fields,
                        const core::Variant& values, data::TLocateOptions options, bool sync) {
  const bool single_value = !values.IsArray() || values.ArrayHigh() == values.ArrayLow();
  const core::Variant& value = values.IsArray() && single_value ? values.At(values.ArrayLow())
                                                                 : values;
  TIndexCursor* use = nullptr;
  std::unique_ptr<TIndexCursor> temporary;
  if (file_ && fields.size() == 1 && single_value && !value.IsEmptyOrNull()) {
    auto* current = IndexCursor();
    if (current && current->Tag().Header().expression == key_fields) {
      use = current;
    } else if (TDbfIndexDef* def = indexes_.FindBySortField(key_fields)) {
      TIndexFile* file = nullptr;
      TIndexTag* tag = nullptr;
      if (FindIndex(def->IndexFile(), file, tag)) {
        temporary = std::make_unique<TIndexCursor>(*file, *tag);
        use = temporary.get();
      }
    }
  }
  if (!use) return data::TDataSet::LocateRecord(key_fields, fields, values, options, sync);

  std::vector<std::byte> key;
  try {
    key = SearchKey(use->Tag(), value);
  } catch (const core::Exception&) {
    return false;  // a value that is no number matches no numeric key
  }
  CursorPosChanged();
  uint32_t found = 0;
  if (!IndexLocate(*use, key, options.loPartialKey, found)) return false;
  // The record is in the lookup buffer; a temporary index leaves the dataset's own cursor
  // to be put on the same record in its order.
  if (sync && temporary) cursor_->SetPhysicalRecNo(found);
  return true;
}

// ---- master-detail --------------------------------------------------------------------------

data::TDataSource* TDbf::MasterSource() const {
  return master_link_ ? master_link_->DataSource() : nullptr;
}

data::TDataSource* TDbf::GetDataSource() const { return MasterSource(); }

void TDbf::SetMasterSource(data::TDataSource* source) {
  // A chain of masters that comes back to this dataset would move it forever.
  const data::TDataSource* s = source;
  for (int steps = 0; s && steps < 1000; ++steps) {
    const data::TDataSet* dataset = s->DataSet();
    if (dataset == this) throw data::EDatabaseError(std::string(data::kCircularDataLink));
    s = dataset ? dataset->GetDataSource() : nullptr;
  }
  if (!master_link_) master_link_ = std::make_unique<MasterLink>(*this);
  master_link_->SetDataSource(source);
  if (Active() && State() == data::TDataSetState::dsBrowse) MasterChanged();
}

void TDbf::SetMasterFields(std::string_view fields) {
  master_fields_ = Trim(fields);
  if (Active() && State() == data::TDataSetState::dsBrowse) MasterChanged();
}

void TDbf::MasterChanged() {
  if (!Active() || State() != data::TDataSetState::dsBrowse) return;
  data::TDataSet* master = master_link_ ? master_link_->DataSet() : nullptr;
  if (master && master->State() != data::TDataSetState::dsBrowse &&
      master->State() != data::TDataSetState::dsInactive) {
    return;
  }
  ApplyMasterRange();
  First();
}

void TDbf::ApplyMasterRange() {
  auto* index = IndexCursor();
  if (!index) return;
  data::TDataSet* master = master_link_ ? master_link_->DataSet() : nullptr;
  if (!master || !master->Active() || master_fields_.empty()) {
    index->CancelRange();
    return;
  }
  const std::vector<data::TField*> fields = master->GetFieldList(master_fields_);
  TIndexTag& tag = index->Tag();
  std::vector<std::byte> key;
  if (tag.NumericKeys()) {
    key = SearchKey(tag, fields.empty() ? core::Variant(0.0) : fields[0]->AsVariant());
  } else {
    // Text keys: the master's values (as the program reads them) in this table's code page,
    // one after the other, cut and padded to the key length.
    std::string text;
    for (data::TField* field : fields) text += field->AsString();
    key = SearchKey(tag, core::Variant(text));
  }
  index->SetRange(key, key);
}

}  // namespace lgoty::dbf
