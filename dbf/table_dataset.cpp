// TDbf: properties, opening and closing, field definitions, auto-create and translation.
#include "dbf/table_dataset.h"

#include <cctype>
#include <filesystem>

#include "core/code_page.h"
#include "core/utf8_text.h"
#include "data/database_error.h"
#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_header.h"
#include "dbf/dbf_parser.h"
#include "dbf/index_file.h"
#include "dbf/language_drivers.h"
#include "dbf/table_cursor.h"
#include "platform/file.h"
#include "platform/system.h"

namespace lgoty::dbf {

namespace {

// Folders are kept with '/' separators, runs of separators collapsed (a '\' from a
// Windows-style name is a separator too) and one separator at the end.
std::string NormalizeFolder(std::string_view path) {
  std::string out;
  for (char c : path) {
    if (c == '\\') c = '/';
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out.push_back(c);
  }
  if (!out.empty() && out.back() != '/') out.push_back('/');
  return out;
}

}  // namespace

std::string IndexNotFoundMessage(const std::string& name) {
  return "Index \"" + name + "\" does not exist.";
}

TDbf::TDbf() = default;

TDbf::~TDbf() {
  try {
    Close();
  } catch (...) {
    // A BeforeClose/AfterClose handler failed; the files go anyway.
  }
  master_link_.reset();
}

// ---- properties -----------------------------------------------------------------------------

void TDbf::SetTableName(std::string_view name) {
  CheckInactive();
  std::string text(name);
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  const std::string folder = platform::ExtractFilePath(text);
  if (!folder.empty()) file_path_ = NormalizeFolder(folder);
  table_name_ = platform::ExtractFileName(text);
}

void TDbf::SetFilePath(std::string_view path) {
  CheckInactive();
  file_path_ = NormalizeFolder(path);
}

std::string TDbf::FilePathFull() const {
  const std::string& p = file_path_;
  const bool drive = p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
  const bool unc = p.size() >= 2 && p[0] == '\\' && p[1] == '\\';
  if (drive || unc) return NormalizeFolder(p);
  std::filesystem::path full = std::filesystem::path(p);
  if (!full.is_absolute()) {
    std::error_code error;
    std::filesystem::path current = std::filesystem::current_path(error);
    full = current / full;
  }
  return NormalizeFolder(full.lexically_normal().string());
}

void TDbf::SetTableLevel(int level) {
  CheckInactive();
  if (level == kTableLevel3 || level == kTableLevel4 || level == kTableLevel7 ||
      level == kTableLevelFoxPro) {
    table_level_ = level;
  }
}

void TDbf::SetExclusive(bool value) {
  CheckInactive();
  exclusive_ = value;
}

void TDbf::SetReadOnly(bool value) {
  CheckInactive();
  read_only_ = value;
}

void TDbf::SetStorage(TDbfStorage storage) {
  CheckInactive();
  storage_ = storage;
}

void TDbf::SetShowDeleted(bool value) {
  if (show_deleted_ == value) return;
  show_deleted_ = value;
  if (Active()) Refresh();
}

uint32_t TDbf::PhysicalRecNo() const {
  if (!Active() || IsEmpty()) return 0;
  return Cast(ActiveBuffer()).physical;
}

// ---- open and close -------------------------------------------------------------------------

std::string TDbf::FullTableName() const { return FilePathFull() + table_name_; }

TFileAccessMode TDbf::DataFileMode() const {
  if (storage_ == TDbfStorage::stoMemory) return TFileAccessMode::amMemoryExisting;
  if (read_only_) return TFileAccessMode::amReadOnly;
  return exclusive_ ? TFileAccessMode::amExclusiveExisting : TFileAccessMode::amSharedExisting;
}

std::unique_ptr<TDbfFile> TDbf::MakeFile() const {
  auto file = std::make_unique<TDbfFile>();
  if (storage_ == TDbfStorage::stoMemory) {
    file->SetFileName(table_name_.empty() ? std::string("memory.dbf") : table_name_);
    file->SetMemoryStream(user_stream_ ? user_stream_ : own_stream_.get());
    file->SetMemoMemoryStream(own_memo_stream_.get());
  } else {
    file->SetFileName(FullTableName());
  }
  file->SetMode(DataFileMode());
  file->SetTableLevel(table_level_);
  file->SetDateTimeHandling(datetime_handling_);
  auto* self = const_cast<TDbf*>(this);
  if (OnIndexMissing) {
    file->SetOnIndexMissing([self](bool& delete_link) { self->OnIndexMissing(*self, delete_link); });
  }
  if (OnLocaleError) {
    file->SetOnLocaleError([self](TLocaleError error, TLocaleSolution& solution) {
      self->OnLocaleError(*self, error, solution);
    });
  }
  return file;
}

bool TDbf::AutoCreate() {
  bool do_create = true;
  if (BeforeAutoCreate) BeforeAutoCreate(*this, do_create);
  if (!do_create) return false;
  CreateTable();
  return true;
}

void TDbf::CreateTable() {
  TDbfFieldDefs defs(table_level_, datetime_handling_);
  data::TFieldDefs& source = FieldDefs();
  auto add = [&](const std::string& name, data::TFieldType type, int size, int precision) {
    TDbfFieldDef& def = defs.Add();
    def.SetFieldName(name);
    def.SetFieldType(type);
    if (size >= 1) def.SetSize(size);
    if (precision >= 1) def.SetPrecision(precision);
  };
  if (source.Count() > 0) {
    for (int i = 0; i < source.Count(); ++i) {
      const data::TFieldDef& d = source.Items(i);
      add(d.Name(), d.DataType(), d.Size(), d.Precision());
    }
  } else {
    for (int i = 0; i < Fields().Count(); ++i) {
      const data::TField& f = Fields()[i];
      if (f.Calculated()) continue;
      add(f.FieldName(), f.DataType(), f.Size(), 0);
    }
  }
  auto file = MakeFile();
  file->SetMode(storage_ == TDbfStorage::stoMemory ? TFileAccessMode::amMemoryNew
                                                   : TFileAccessMode::amExclusiveNew);
  try {
    file->Create(defs, language_id_, kDefaultMemoBlockSize);
    for (int i = 0; i < indexes_.Count(); ++i) {
      const TDbfIndexDef& def = indexes_[i];
      TIndexOptions options;
      options.descending = def.Options().Has(TIndexOption::ixDescending);
      options.expression = def.Options().Has(TIndexOption::ixExpression);
      if (def.Options().Has(TIndexOption::ixPrimary)) options.kind = TIndexKind::ikDistinct;
      else if (def.Options().Has(TIndexOption::ixUnique)) options.kind = TIndexKind::ikUnique;
      if (def.IsNdx()) {
        auto ndx = std::make_unique<TIndexFile>(*file);
        ndx->SetFileName(ResolveIndexName(def.IndexFile()));
        ndx->SetMode(IndexCreateMode(file->Mode()));
        ndx->Open();
        ndx->CreateTag(def.SortField(), def.IndexFile(), options);
        file->AddIndex(std::move(ndx));
      } else {
        ProductionIndexOf(*file, true)->CreateTag(def.SortField(), def.IndexFile(), options);
      }
    }
    file->Close();
  } catch (...) {
    const std::string name = file->FileName();
    try {
      file->Close();
    } catch (...) {
    }
    if (storage_ == TDbfStorage::stoFile) platform::DeleteFile(name);
    throw;
  }
}

void TDbf::InternalOpen() {
  cursor_.reset();
  filter_.reset();
  file_.reset();
  edit_lock_ = 0;
  if (storage_ == TDbfStorage::stoFile) {
    if (!platform::FileExists(FullTableName()) &&
        (open_mode_ == TDbfOpenMode::omAutoCreate || open_mode_ == TDbfOpenMode::omTemporary)) {
      // Declined: the open stops quietly and the dataset stays closed.
      if (!AutoCreate()) throw data::EOpenAbandoned("the table was not created");
    }
  } else if (!user_stream_ && !own_stream_) {
    own_stream_ = std::make_unique<platform::MemoryFile>(table_name_);
    own_memo_stream_ = std::make_unique<platform::MemoryFile>(table_name_ + ".memo");
    if (!AutoCreate()) {
      own_stream_.reset();
      own_memo_stream_.reset();
      throw data::EOpenAbandoned("the table was not created");
    }
  }
  file_ = MakeFile();
  file_->Open();
  if (file_->OpenAbandoned()) {
    file_.reset();
    // Zero header or record length, or a missing production index whose link was kept.
    throw data::EOpenAbandoned("the table gave up its open");
  }
  table_level_ = file_->TableLevel();

  data::TFieldDefs& defs = FieldDefs();
  defs.Clear();
  BuildFieldDefs(*file_, defs);
  defs.SetUpdated(true);
  AddProductionIndexDefs();
  DecideTranslation();
  OpenIndexDefs();

  cursor_ = std::make_unique<TPhysicalCursor>(*file_);
  ApplyIndexName();
  ApplyMasterRange();
}

void TDbf::InternalClose() {
  if (file_ && edit_lock_ != 0) {
    try {
      file_->CancelRecordLock(edit_lock_);
    } catch (...) {
    }
  }
  edit_lock_ = 0;
  indexes_.RemoveProductionEntries();
  filter_.reset();
  cursor_.reset();
  std::unique_ptr<TDbfFile> file = std::move(file_);
  translation_mode_ = TDbfTranslationMode::tmNone;
  if (file) file->Close();
}

void TDbf::InternalInitFieldDefs() {
  // Called from FieldDefs() of a closed dataset too: asking FieldDefs() here then hands back
  // the list being filled without filling it again.
  data::TFieldDefs& defs = FieldDefs();
  if (file_) {
    defs.Clear();
    BuildFieldDefs(*file_, defs);
    return;
  }
  // Closed: a temporary read-only look at the table, when it is there.
  if (storage_ == TDbfStorage::stoFile && !platform::FileExists(FullTableName())) return;
  if (storage_ == TDbfStorage::stoMemory && !user_stream_ && !own_stream_) return;
  auto file = MakeFile();
  if (storage_ == TDbfStorage::stoFile) file->SetMode(TFileAccessMode::amReadOnly);
  file->SetOnIndexMissing([](bool& delete_link) { delete_link = true; });
  file->Open();
  if (file->OpenAbandoned()) return;
  defs.Clear();
  BuildFieldDefs(*file, defs);
  file->Close();
}

void TDbf::BuildFieldDefs(TDbfFile& file, data::TFieldDefs& defs) {
  TDbfFieldDefs& dbf_defs = file.FieldDefs();
  for (int i = 0; i < dbf_defs.Count(); ++i) {
    TDbfFieldDef& def = dbf_defs[i];
    std::string name = def.FieldName();
    if (defs.IndexOf(name) >= 0) {
      for (int suffix = 2;; ++suffix) {
        std::string candidate = def.FieldName() + std::to_string(suffix);
        if (defs.IndexOf(candidate) < 0) {
          name = candidate;
          break;
        }
      }
      def.SetFieldName(name);
    }
    const data::TFieldType type = def.FieldType();
    int size = 0;
    switch (type) {
      case data::TFieldType::ftString:
      case data::TFieldType::ftFixedChar:
      case data::TFieldType::ftWideString:
      case data::TFieldType::ftBCD:
      case data::TFieldType::ftFMTBcd:
      case data::TFieldType::ftBytes:
      case data::TFieldType::ftVarBytes:
        size = def.Size();
        break;
      default:
        break;
    }
    data::TFieldDef& added = defs.Add(name, type, size, def.Required());
    if (type == data::TFieldType::ftFloat) added.SetPrecision(def.Precision());
    if (type == data::TFieldType::ftAutoInc) added.Attributes().ReadOnly = true;
  }
  memo_slot_of_def_.assign(static_cast<size_t>(dbf_defs.Count()), -1);
  memo_count_ = 0;
  for (int i = 0; i < dbf_defs.Count(); ++i) {
    if (dbf_defs[i].IsBlob()) memo_slot_of_def_[static_cast<size_t>(i)] = memo_count_++;
  }
}

void TDbf::AddProductionIndexDefs() {
  TIndexFile* mdx = ProductionIndexOf(*file_, false);
  if (!mdx) return;
  for (size_t i = 0; i < mdx->TagCount(); ++i) {
    TIndexTag& tag = mdx->Tag(i);
    if (indexes_.Find(tag.Name())) continue;
    TIndexOptionSet options{TIndexOption::ixExpression};
    if (tag.Descending()) options.Include(TIndexOption::ixDescending);
    if (tag.Kind() == TIndexKind::ikUnique) options.Include(TIndexOption::ixUnique);
    if (tag.Kind() == TIndexKind::ikDistinct) options.Include(TIndexOption::ixPrimary);
    indexes_.Add(tag.Name(), tag.Header().expression, options, true);
  }
}

void TDbf::OpenIndexDefs() {
  for (int i = 0; i < indexes_.Count(); ++i) {
    const TDbfIndexDef& def = indexes_[i];
    if (!def.IsNdx()) continue;  // tags: the production index is open with the table
    const std::string path = ResolveIndexName(def.IndexFile());
    if (FindNdx(path)) continue;
    auto ndx = std::make_unique<TIndexFile>(*file_);
    ndx->SetFileName(path);
    ndx->SetMode(IndexOpenMode(file_->Mode()));
    ndx->Open();
    file_->AddIndex(std::move(ndx));
  }
}

// ---- translation ----------------------------------------------------------------------------

void TDbf::DecideTranslation() {
  code_page_ = file_->EffectiveCodePage();
  auto decide = [this] {
    if (code_page_ == core::AnsiCodePage()) {
      translation_mode_ = TDbfTranslationMode::tmAnsi;
    } else if (code_page_ == core::OemCodePage()) {
      translation_mode_ = TDbfTranslationMode::tmOem;
    } else if (core::IsCodePageInstalled(code_page_)) {
      translation_mode_ = TDbfTranslationMode::tmInstalled;
    } else {
      translation_mode_ = TDbfTranslationMode::tmNone;
    }
  };
  decide();
  if (translation_mode_ != TDbfTranslationMode::tmNone) return;
  TDbfLanguageAction action = TDbfLanguageAction::laReadOnly;
  if (OnLanguageWarning) OnLanguageWarning(*this, action);
  switch (action) {
    case TDbfLanguageAction::laReadOnly:
      return;
    case TDbfLanguageAction::laForceOEM:
      code_page_ = core::OemCodePage();
      break;
    case TDbfLanguageAction::laForceANSI:
      code_page_ = core::AnsiCodePage();
      break;
    case TDbfLanguageAction::laDefault:
      code_page_ = DbfGlobals().default_code_page;
      break;
  }
  decide();
  // The forced code page holds for everything that reads the table's text: the filter and
  // index key parsers made from now on, and the tags of indexes the file already opened.
  file_->ForceCodePage(code_page_);
  for (size_t i = 0; i < file_->IndexCount(); ++i) {
    auto* index = dynamic_cast<TIndexFile*>(&file_->Index(i));
    if (!index) continue;
    for (size_t t = 0; t < index->TagCount(); ++t) {
      if (TDbfIndexParser* parser = index->Tag(t).Parser()) parser->SetTableCodePage(code_page_);
    }
  }
}

std::string TDbf::Translate(std::string_view text, bool to_table) const {
  if (OnTranslate) {
    std::string dest;
    const int length = OnTranslate(const_cast<TDbf&>(*this), text, dest, to_table);
    if (length >= 0 && static_cast<size_t>(length) < dest.size()) {
      dest.resize(static_cast<size_t>(length));
    }
    return dest;
  }
  const core::CodePage* cp = core::FindCodePage(code_page_);
  if (!cp) return to_table ? core::Utf8ToLatin1(text) : core::Latin1ToUtf8(text);
  return to_table ? cp->FromUtf8(text) : cp->ToUtf8(text);
}

bool TDbf::CanModify() const {
  return !read_only_ && translation_mode_ != TDbfTranslationMode::tmNone;
}

}  // namespace lgoty::dbf
