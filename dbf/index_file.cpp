#include "dbf/index_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "core/ascii_text.h"
#include "core/code_page.h"
#include "core/date_time.h"
#include "core/byte_codec.h"
#include "dbf/collation.h"
#include "dbf/dbf_file.h"
#include "dbf/dbf_header.h"
#include "dbf/dbf_parser.h"
#include "dbf/index_keys.h"
#include "dbf/language_drivers.h"
#include "dbf/mdx_format.h"
#include "platform/system.h"

namespace lgoty::dbf {

namespace {

constexpr std::byte kDeletedFlag{'*'};
// How far beyond the end of the file the next free page may lie (pages other programs have
// allocated but not yet written).
constexpr uint64_t kAllocationSlack = uint64_t{1} << 24;

void PutDate(std::span<std::byte> header, size_t offset) {
  int year = 0, month = 0, day = 0;
  core::DecodeDate(core::Date(), year, month, day);
  core::PutU8(header, offset, static_cast<uint8_t>(std::clamp(year - 1900, 0, 255)));
  core::PutU8(header, offset + 1, static_cast<uint8_t>(month));
  core::PutU8(header, offset + 2, static_cast<uint8_t>(day));
}

bool IsDeleted(std::span<const std::byte> record) {
  return !record.empty() && record[0] == kDeletedFlag;
}

}  // namespace

// ---- open and close -------------------------------------------------------------------------

TIndexFile::TIndexFile(TDbfFile& table) : table_(table) {
  SetHeaderIncluded(false);
  SetRecordSize(kIndexUnitSize);
  SetLockStyle(TLockStyle::PageBytes);
}

TIndexFile::~TIndexFile() {
  try {
    Close();
  } catch (...) {
    // Closing never throws out of a destructor; the pages were written at each change.
  }
}

void TIndexFile::Open() {
  if (Active()) Close();
  format_ = core::AsciiUpper(platform::ExtractFileExt(FileName())) == ".MDX" ? TIndexFormat::ifMdx
                                                                      : TIndexFormat::ifNdx;
  const bool create = IsCreatingMode(Mode());
  TPagedFile::Open();
  try {
    RefreshFileSize();
    end_of_file_ = CachedFileSize();
    if (format_ == TIndexFormat::ifMdx) OpenMdx(create);
    else OpenNdx(create);
  } catch (...) {
    tags_.clear();
    cache_.clear();
    TPagedFile::Close();
    throw;
  }
}

void TIndexFile::Close() {
  if (!Active()) return;
  if (IsMdx() && header_dirty_) WriteMdxHeader();
  tags_.clear();
  cache_.clear();
  dirty_.clear();
  locked_.clear();
  TPagedFile::Close();
}

uint32_t TIndexFile::FirstPage() const {
  if (format_ == TIndexFormat::ifNdx) return 1;
  return static_cast<uint32_t>(header_.size() / kIndexUnitSize);
}

size_t TIndexFile::TagEntrySize() const { return core::GetU8(header_, mdx::kTagEntrySizeOffset); }
size_t TIndexFile::TagNameWidth() const {
  return mdx_kind_ == mdx::kLevel7Kind ? mdx::kLevel7NameWidth : mdx::kLevel4NameWidth;
}

void TIndexFile::OpenMdx(bool create) {
  if (create) {
    const bool level7 = table_.TableLevel() == kTableLevel7;
    mdx_kind_ = level7 ? mdx::kLevel7Kind : mdx::kLevel4Kind;
    header_.assign(level7 ? mdx::kLevel7HeaderSize : mdx::kLevel4HeaderSize, std::byte{0});
    core::PutU8(header_, mdx::kKindOffset, mdx_kind_);
    PutDate(header_, mdx::kCreatedOffset);
    std::string base = platform::ExtractFileName(platform::ChangeFileExt(table_.FileName(), ""));
    base = base.substr(0, mdx::kTableNameWidth - 1);
    std::memcpy(header_.data() + mdx::kTableNameOffset, base.data(), base.size());
    core::PutU16LE(header_, mdx::kUnitsPerBlockOffset, mdx::kUnitsPerBlock);
    core::PutU16LE(header_, mdx::kBlockSizeOffset, mdx::kBlockSize);
    core::PutU8(header_, mdx::kProductionOffset, 1);
    core::PutU8(header_, mdx::kTagTableSizeOffset, mdx::kTagTableSize);
    core::PutU8(header_, mdx::kTagEntrySizeOffset,
          static_cast<uint8_t>(level7 ? mdx::kLevel7EntrySize : mdx::kLevel4EntrySize));
    core::PutU8(header_, mdx::kLanguageDriverOffset, table_.LanguageId());
    core::PutU32LE(header_, mdx::kNextFreeUnitOffset, static_cast<uint32_t>(header_.size() / kIndexUnitSize));
    PutDate(header_, mdx::kUpdatedOffset);
    core::PutU8(header_, mdx::kConstant1Offset, 1);
    WriteMdxHeader();
    weights_ = &CollationWeightsOf(table_.LanguageId());
    if (weights_ == &PlainByteOrder()) weights_ = nullptr;
    return;
  }
  header_.assign(mdx::kLevel4HeaderSize, std::byte{0});
  if (ReadAt(0, header_) < header_.size()) Damaged("the MDX header is cut short");
  mdx_kind_ = core::GetU8(header_, mdx::kKindOffset) == mdx::kLevel7Kind ? mdx::kLevel7Kind
                                                                   : mdx::kLevel4Kind;
  const size_t entry_size = TagEntrySize();
  if (entry_size < TagNameWidth() + 4 + 7 || entry_size > 64)
    Damaged("tag table entry size " + std::to_string(entry_size));
  const size_t table_end = mdx::kTagTableOffset + mdx::kMaxTags * entry_size;
  const size_t header_size = (table_end + kIndexUnitSize - 1) / kIndexUnitSize * kIndexUnitSize;
  if (header_size > header_.size()) {
    header_.resize(header_size);
    if (ReadAt(0, header_) < header_.size()) Damaged("the MDX header is cut short");
  }
  if (core::GetU16LE(header_, mdx::kTagCountOffset) > mdx::kMaxTags)
    Damaged("tag count " + std::to_string(core::GetU16LE(header_, mdx::kTagCountOffset)));
  DecideCollation();
  LoadMdxTags();
}

void TIndexFile::DecideCollation() {
  const uint8_t table_ldid = table_.LanguageId();
  const uint8_t index_ldid = core::GetU8(header_, mdx::kLanguageDriverOffset);
  uint8_t ldid = table_ldid;
  TLocaleError error = TLocaleError::leNone;
  if (table_ldid != 0) {
    if (index_ldid != 0 && index_ldid != table_ldid) error = TLocaleError::leTableIndexMismatch;
  } else {
    ldid = index_ldid;
  }
  if (error == TLocaleError::leNone && ldid != 0 && LanguageDriverOf(ldid).code_page == 0)
    error = TLocaleError::leUnknown;
  locale_error_ = error;
  const TCollationWeights* weights = &CollationWeightsOf(ldid);
  if (error != TLocaleError::leNone) {
    TLocaleSolution solution = TLocaleSolution::lsNotOpen;
    if (on_locale_error_) on_locale_error_(error, solution);
    switch (solution) {
      case TLocaleSolution::lsNotOpen:
        throw EDbfError("The language of index \"" + FileName() +
                        "\" does not match its table; the index is not opened.");
      case TLocaleSolution::lsNoEdit:
        no_edit_ = true;
        // The keys stay in the order the index was written in.
        weights = &CollationWeightsOf(index_ldid);
        break;
      case TLocaleSolution::lsBinary:
        weights = &PlainByteOrder();
        break;
    }
  }
  weights_ = weights == &PlainByteOrder() ? nullptr : weights;
}

void TIndexFile::LoadMdxTags() {
  tags_.clear();
  const size_t count = core::GetU16LE(header_, mdx::kTagCountOffset);
  const size_t entry_size = TagEntrySize();
  const size_t name_width = TagNameWidth();
  for (size_t i = 0; i < count; ++i) {
    const size_t at = mdx::kTagTableOffset + i * entry_size;
    const uint32_t unit = core::GetU32LE(header_, at + mdx::kEntryHeaderUnitOffset);
    const auto* text = reinterpret_cast<const char*>(header_.data() + at + mdx::kEntryNameOffset);
    tags_.push_back(LoadTag(std::string(text, strnlen(text, name_width)), unit));
  }
  selected_ = 0;
}

std::unique_ptr<TIndexTag> TIndexFile::LoadTag(const std::string& name, uint32_t header_page) {
  const size_t block = PageGeometryOf(format_).page_size;
  if (header_page < FirstPage() && format_ == TIndexFormat::ifMdx)
    Damaged("tag \"" + name + "\" has its header inside the file header");
  if (uint64_t{header_page} * kIndexUnitSize + block > end_of_file_)
    Damaged("tag \"" + name + "\" has its header outside the file");
  std::vector<std::byte> bytes(block);
  ReadAt(uint64_t{header_page} * kIndexUnitSize, bytes);
  TTagHeader header = TTagHeader::Read(bytes, format_, StoreName());
  auto tag = std::make_unique<TIndexTag>(format_, name, header_page, std::move(header), Pages());
  auto parser = std::make_unique<TDbfIndexParser>(
      table_.FieldDefs(), table_.EffectiveCodePage(),
      format_ == TIndexFormat::ifMdx ? TIndexKeyFormat::kfMdx : TIndexKeyFormat::kfNdx,
      table_.RecordSize());
  parser->CompileExpression(tag->Header().expression);
  if (parser->KeyType() != tag->Header().key_type)
    Damaged("tag \"" + name + "\" has key type " + tag->Header().key_type +
            " but its expression gives " + parser->KeyType());
  tag->SetParser(std::move(parser));
  tag->SetCollation(format_ == TIndexFormat::ifMdx ? weights_ : nullptr);
  return tag;
}

void TIndexFile::OpenNdx(bool create) {
  weights_ = nullptr;
  tags_.clear();
  selected_ = 0;
  if (create) return;  // the header is written by CreateTag
  std::string name = platform::ExtractFileName(FileName());
  tags_.push_back(LoadTag(name, 0));
}

void TIndexFile::WriteMdxHeader() {
  header_dirty_ = false;
  PutDate(header_, mdx::kUpdatedOffset);
  WriteAt(0, header_);
  end_of_file_ = std::max<uint64_t>(end_of_file_, header_.size());
}

// ---- page store -----------------------------------------------------------------------------

std::string TIndexFile::StoreName() const { return platform::ExtractFileName(FileName()); }

void TIndexFile::Damaged(const std::string& what) const { ThrowDamagedIndex(StoreName(), what); }

std::span<std::byte> TIndexFile::Page(uint32_t n) {
  auto it = cache_.find(n);
  if (it != cache_.end()) return it->second;
  const size_t size = PageGeometryOf(format_).page_size;
  if (n < FirstPage() || uint64_t{n} * kIndexUnitSize + size > end_of_file_)
    Damaged("page " + std::to_string(n) + " lies outside the file");
  std::vector<std::byte> bytes(size);
  if (ReadAt(uint64_t{n} * kIndexUnitSize, bytes) < size)
    Damaged("page " + std::to_string(n) + " is cut short");
  return cache_.emplace(n, std::move(bytes)).first->second;
}

void TIndexFile::Touch(uint32_t n) {
  if (std::find(dirty_.begin(), dirty_.end(), n) != dirty_.end()) return;
  dirty_.push_back(n);
  if (IsShared() && std::find(locked_.begin(), locked_.end(), n) == locked_.end()) {
    LockPage(n, true);
    locked_.push_back(n);
  }
}

uint64_t TIndexFile::RefreshedEnd() {
  RefreshFileSize();
  end_of_file_ = std::max<uint64_t>(end_of_file_, CachedFileSize());
  return end_of_file_;
}

uint32_t TIndexFile::AllocatePage() {
  const TIndexPageGeometry& g = PageGeometryOf(format_);
  const bool mdx = format_ == TIndexFormat::ifMdx;
  if (mdx && IsShared()) {
    // Other programs allocate too: the next free unit is taken under the header lock.
    LockPage(0, true);
    std::byte next[4];
    if (ReadAt(mdx::kNextFreeUnitOffset, next) == 4)
      core::PutU32LE(header_, mdx::kNextFreeUnitOffset, core::GetU32LE(next));
  }
  TTagHeader* ndx_header = mdx ? nullptr : &tags_.at(0)->MutableHeader();
  uint64_t n = mdx ? core::GetU32LE(header_, mdx::kNextFreeUnitOffset) : ndx_header->page_count;
  n = std::max<uint64_t>(n, FirstPage());
  // A page is never taken from inside the file: a header that says so is wrong, and what
  // lies there may be in use. Other programs may have taken pages they have not written
  // yet, but a free page far beyond the end of the file means a damaged header.
  RefreshFileSize();
  n = std::max<uint64_t>(n, (CachedFileSize() + kIndexUnitSize - 1) / kIndexUnitSize);
  const bool damaged = n * kIndexUnitSize > RefreshedEnd() + kAllocationSlack ||
                       n + g.units > UINT32_MAX;
  if (!damaged) {
    if (mdx) core::PutU32LE(header_, mdx::kNextFreeUnitOffset, static_cast<uint32_t>(n + g.units));
    else ndx_header->page_count = static_cast<uint32_t>(n + g.units);
  }
  if (mdx && IsShared()) {
    if (!damaged) WriteAt(mdx::kNextFreeUnitOffset,
                          std::span<const std::byte>(header_).subspan(mdx::kNextFreeUnitOffset, 4));
    UnlockPage(0);
  } else if (mdx) {
    header_dirty_ = true;
  }
  if (damaged)
    Damaged("the next free page " + std::to_string(n) + " lies beyond the file");
  const auto page = static_cast<uint32_t>(n);
  cache_[page].assign(g.page_size, std::byte{0});
  end_of_file_ = std::max<uint64_t>(end_of_file_, n * kIndexUnitSize + g.page_size);
  Touch(page);
  return page;
}

// ---- changes --------------------------------------------------------------------------------

void TIndexFile::Refresh(TIndexTag& tag) {
  if (!IsShared()) return;
  cache_.clear();
  RefreshFileSize();
  end_of_file_ = CachedFileSize();
  const size_t block = PageGeometryOf(format_).page_size;
  std::vector<std::byte> bytes(block);
  if (ReadAt(uint64_t{tag.HeaderPage()} * kIndexUnitSize, bytes) < block)
    Damaged("the tag header is cut short");
  tag.HeaderReloaded(TTagHeader::Read(bytes, format_, StoreName()));
}

void TIndexFile::BeginChange(TIndexTag& tag) {
  if (IsShared()) {
    LockPage(tag.HeaderPage(), true);
    locked_.push_back(tag.HeaderPage());
    Refresh(tag);
  }
  in_change_ = true;
}

void TIndexFile::WriteTagHeader(TIndexTag& tag) {
  const size_t block = PageGeometryOf(format_).page_size;
  std::vector<std::byte> bytes(block);
  ReadAt(uint64_t{tag.HeaderPage()} * kIndexUnitSize, bytes);
  tag.Header().Write(bytes, format_);
  WriteAt(uint64_t{tag.HeaderPage()} * kIndexUnitSize, bytes);
  tag.ClearHeaderChanged();
}

void TIndexFile::EndChange(TIndexTag& tag) {
#ifndef NDEBUG
  for (uint32_t n : dirty_) tag.CheckChangedPage(n);
#endif
  for (uint32_t n : dirty_) {
    auto it = cache_.find(n);
    if (it != cache_.end()) WriteAt(uint64_t{n} * kIndexUnitSize, it->second);
  }
  dirty_.clear();
  if (tag.HeaderChanged() || format_ == TIndexFormat::ifNdx) WriteTagHeader(tag);
  if (header_dirty_) WriteMdxHeader();
  for (uint32_t n : locked_) UnlockPage(n);
  locked_.clear();
  in_change_ = false;
}

void TIndexFile::AbortChange(TIndexTag& tag) {
  // Nothing of a failed change reaches the file: the touched pages are dropped and the tag
  // header and next free unit are taken from the file again.
  for (uint32_t n : dirty_) cache_.erase(n);
  dirty_.clear();
  try {
    const size_t block = PageGeometryOf(format_).page_size;
    std::vector<std::byte> bytes(block);
    if (ReadAt(uint64_t{tag.HeaderPage()} * kIndexUnitSize, bytes) == block)
      tag.HeaderReloaded(TTagHeader::Read(bytes, format_, StoreName()));
    tag.ClearHeaderChanged();
    if (format_ == TIndexFormat::ifMdx) {
      std::byte next[4];
      if (ReadAt(mdx::kNextFreeUnitOffset, next) == 4)
        core::PutU32LE(header_, mdx::kNextFreeUnitOffset, core::GetU32LE(next));
      header_dirty_ = false;
    }
  } catch (const EDbfError&) {
    // The header itself is damaged; the next operation reports it.
  }
  for (uint32_t n : locked_) UnlockPage(n);
  locked_.clear();
  in_change_ = false;
}

// One change of one tag: begun on construction, written back by Commit, undone otherwise.
class TIndexChangeScope {
 public:
  TIndexChangeScope(TIndexFile& file, TIndexTag& tag) : file_(file), tag_(tag) {
    file_.BeginChange(tag_);
  }
  ~TIndexChangeScope() {
    if (!committed_) file_.AbortChange(tag_);
  }
  // A failing debug check leaves the change uncommitted: the destructor undoes it.
  void Commit() {
    file_.EndChange(tag_);
    committed_ = true;
  }

 private:
  TIndexFile& file_;
  TIndexTag& tag_;
  bool committed_ = false;
};

bool TIndexFile::KeyIn(const TIndexTag& tag, std::span<const std::byte> record) const {
  return !(tag.Kind() == TIndexKind::ikDistinct && IsDeleted(record));
}

bool TIndexFile::IsStaleEntry(TIndexTag& tag, std::span<const std::byte> key, uint32_t holder) {
  if (holder == 0) return false;
  // Held: an append or edit of that record is under way, and its row will follow its keys.
  if (!table_.LockPage(holder, false)) return false;
  bool stale = true;
  std::vector<std::byte> record(table_.RecordSize());
  if (holder <= table_.RecordCount() && table_.ReadRecord(holder, record) == record.size()) {
    // The record holds another key and the tag has that key's entry for it as well (see
    // CurrentEntryHolds).
    const std::span<const std::byte> held = tag.KeyOf(record);
    stale = KeyIn(tag, record) && std::memcmp(held.data(), key.data(), key.size()) != 0 &&
            tag.ContainsEntry(held, holder);
  }
  table_.UnlockPage(holder);
  return stale;
}

bool TIndexFile::CurrentEntryHolds(std::span<std::byte> record) {
  TIndexTag& tag = *SelectedTag();
  const uint32_t n = tag.RecNo();
  if (n == 0 || record.size() < table_.RecordSize()) return false;
  if (table_.ReadRecord(n, record) < table_.RecordSize()) {
    if (n > table_.RecordCount()) return false;
    if (table_.ReadRecord(n, record) < table_.RecordSize()) return false;
  }
  const std::span<const std::byte> entry = tag.CurrentKey();
  const std::span<const std::byte> held = tag.KeyOf(record);
  if (held.size() != entry.size() || std::memcmp(held.data(), entry.data(), entry.size()) == 0)
    return true;
  // The record holds another key. When the tag also has the entry of that key, this one was
  // left behind by an appender that died before its row was written, and the record was
  // appended later with its own key. Otherwise the key was computed by another program in
  // its own way, and the entry is the record's only one.
  return !tag.ContainsEntry(held, n);
}

std::string TIndexFile::IndexNameFor(const TIndexTag& tag) const {
  return IsMdx() ? tag.Name() : platform::ExtractFileName(FileName());
}

std::string TIndexFile::KeyText(const TIndexTag& tag, std::span<const std::byte> key) const {
  if (tag.NumericKeys()) {
    const double value = IsMdx() ? DecodeMdxNumericKey(key) : DecodeNdxNumericKey(key);
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
  }
  std::string bytes(reinterpret_cast<const char*>(key.data()), key.size());
  while (!bytes.empty() && bytes.back() == ' ') bytes.pop_back();
  return core::ToUtf8(table_.EffectiveCodePage(), bytes);
}

void TIndexFile::Insert(uint32_t n, std::span<const std::byte> record) {
  if (no_edit_) return;
  std::vector<std::vector<std::byte>> added(tags_.size());
  // A refused key or a tag that cannot take it (a damaged page) takes back the keys the
  // tags before it were given: the record is not written, so no tag may name it.
  auto undo = [&](size_t upto) {
    for (size_t u = upto; u-- > 0;) {
      if (added[u].empty()) continue;
      try {
        TIndexChangeScope scope(*this, *tags_[u]);
        tags_[u]->Remove(added[u], n);
        scope.Commit();
      } catch (...) {
        // Removing a key added a moment ago; the first error is the one to report.
      }
    }
  };
  for (size_t t = 0; t < tags_.size(); ++t) {
    TIndexTag& tag = *tags_[t];
    if (!KeyIn(tag, record) || tag.KeyLength() == 0) continue;
    std::vector<std::byte> key(tag.KeyOf(record).begin(), tag.KeyOf(record).end());
    uint32_t holder = 0;
    bool ok;
    try {
      TIndexChangeScope scope(*this, tag);
      ok = tag.Add(key, n, &holder);
      if (!ok && IsStaleEntry(tag, key, holder)) {
        tag.Remove(key, holder);
        ok = tag.Add(key, n, &holder);
      }
      scope.Commit();
    } catch (...) {
      undo(t);
      throw;
    }
    if (ok) {
      added[t] = std::move(key);
    } else if (tag.Kind() == TIndexKind::ikDistinct) {
      undo(t);
      throw EDbfKeyViolation(KeyViolationMessage(IndexNameFor(tag), holder, KeyText(tag, key)));
    }
  }
}

void TIndexFile::Update(uint32_t n, std::span<const std::byte> old_record,
                        std::span<const std::byte> new_record) {
  if (no_edit_) return;
  struct Done {
    std::vector<std::byte> old_key, new_key;
    bool removed = false, added = false;
  };
  std::vector<Done> done(tags_.size());
  auto undo = [&](size_t upto) {
    for (size_t u = upto; u-- > 0;) {
      Done& d = done[u];
      if (!d.removed && !d.added) continue;
      try {
        TIndexChangeScope scope(*this, *tags_[u]);
        if (d.added) tags_[u]->Remove(d.new_key, n);
        if (d.removed) tags_[u]->Add(d.old_key, n, nullptr);
        scope.Commit();
      } catch (...) {
        // Restoring keys that were there a moment ago; the first error is reported.
      }
    }
  };
  for (size_t t = 0; t < tags_.size(); ++t) {
    TIndexTag& tag = *tags_[t];
    Done& d = done[t];
    const bool old_in = KeyIn(tag, old_record), new_in = KeyIn(tag, new_record);
    std::span<const std::byte> k = tag.KeyOf(old_record);
    d.old_key.assign(k.begin(), k.end());
    k = tag.KeyOf(new_record);
    d.new_key.assign(k.begin(), k.end());
    if (old_in == new_in &&
        (!old_in || std::memcmp(d.old_key.data(), d.new_key.data(), d.old_key.size()) == 0))
      continue;
    uint32_t holder = 0;
    bool refused = false;
    try {
      TIndexChangeScope scope(*this, tag);
      if (old_in) d.removed = tag.Remove(d.old_key, n);
      if (new_in) {
        d.added = tag.Add(d.new_key, n, &holder);
        if (!d.added && tag.Kind() == TIndexKind::ikDistinct) {
          refused = true;
          if (d.removed) tag.Add(d.old_key, n, nullptr);
          d.removed = false;
        }
      }
      scope.Commit();
    } catch (...) {
      undo(t);
      throw;
    }
    if (refused) {
      undo(t);
      throw EDbfKeyViolation(
          KeyViolationMessage(IndexNameFor(tag), holder, KeyText(tag, d.new_key)));
    }
  }
}

void TIndexFile::Delete(uint32_t n, std::span<const std::byte> record) {
  if (no_edit_) return;
  for (auto& tag : tags_) {
    if (!KeyIn(*tag, record)) continue;
    std::vector<std::byte> key(tag->KeyOf(record).begin(), tag->KeyOf(record).end());
    TIndexChangeScope scope(*this, *tag);
    tag->Remove(key, n);
    scope.Commit();
  }
}

void TIndexFile::RecordDeleted(uint32_t n, std::span<const std::byte> record) {
  if (no_edit_) return;
  for (auto& tag : tags_) {
    if (tag->Kind() != TIndexKind::ikDistinct) continue;
    std::vector<std::byte> key(tag->KeyOf(record).begin(), tag->KeyOf(record).end());
    TIndexChangeScope scope(*this, *tag);
    tag->Remove(key, n);
    scope.Commit();
  }
}

// ---- tags -----------------------------------------------------------------------------------

std::vector<std::string> TIndexFile::TagNames() const {
  std::vector<std::string> names;
  for (const auto& tag : tags_) names.push_back(tag->Name());
  return names;
}

TIndexTag* TIndexFile::FindTag(const std::string& name) {
  const std::string wanted = core::AsciiUpper(name);
  for (auto& tag : tags_)
    if (core::AsciiUpper(tag->Name()) == wanted) return tag.get();
  return nullptr;
}

bool TIndexFile::SelectTag(const std::string& name) {
  for (size_t i = 0; i < tags_.size(); ++i) {
    if (tags_[i].get() == FindTag(name)) {
      selected_ = i;
      return true;
    }
  }
  return false;
}

void TIndexFile::WriteTagEntry(size_t i, const TIndexTag& tag, bool expression) {
  const size_t at = mdx::kTagTableOffset + i * TagEntrySize();
  const size_t width = TagNameWidth();
  std::fill(header_.begin() + static_cast<std::ptrdiff_t>(at),
            header_.begin() + static_cast<std::ptrdiff_t>(at + TagEntrySize()), std::byte{0});
  core::PutU32LE(header_, at + mdx::kEntryHeaderUnitOffset, tag.HeaderPage());
  std::memcpy(header_.data() + at + mdx::kEntryNameOffset, tag.Name().data(),
              std::min(tag.Name().size(), width - 1));
  const size_t after = at + mdx::kEntryNameOffset + width;
  core::PutU8(header_, after + mdx::kAfterKeyFormat,
        expression ? mdx::kKeyFormatExpression : mdx::kKeyFormatField);
  core::PutU8(header_, after + mdx::kAfterConstant2, 2);
  core::PutU8(header_, after + mdx::kAfterKeyType, static_cast<uint8_t>(tag.Header().key_type));
}

void TIndexFile::CreateTag(const std::string& expression, const std::string& name,
                           const TIndexOptions& options) {
  if (IsShared()) throw EDbfError(kNeedExclusiveAccess);
  if (no_edit_) throw EDbfError("The index \"" + FileName() + "\" is open without editing.");
  const TIndexKeyFormat key_format =
      IsMdx() ? TIndexKeyFormat::kfMdx : TIndexKeyFormat::kfNdx;
  auto parser = std::make_unique<TDbfIndexParser>(table_.FieldDefs(), table_.EffectiveCodePage(),
                                                  key_format, table_.RecordSize());
  parser->CompileExpression(expression);
  if (parser->Expression().size() > tag_header::kMaxExpressionLength)
    throw EDbfError("Index expression too long (at most " +
                    std::to_string(tag_header::kMaxExpressionLength) + " characters).");

  TTagHeader h;
  h.key_type = parser->KeyType();
  h.key_length = static_cast<uint16_t>(parser->KeyLength());
  h.entry_length = static_cast<uint16_t>(EntryLengthFor(format_, h.key_length));
  h.max_entries = static_cast<uint16_t>(MaxEntriesFor(format_, h.entry_length));
  h.expression = parser->Expression();
  if (IsMdx()) {
    if (options.descending) h.key_flags |= tag_header::kFlagDescending;
    if (h.key_type == 'C') h.key_flags |= tag_header::kFlagCharacter;
  }
  if (options.kind == TIndexKind::ikDistinct) {
    if (IsMdx()) h.key_flags |= tag_header::kFlagDistinct;
    h.uniqueness = tag_header::kUniquenessDistinct;
  } else if (options.kind == TIndexKind::ikUnique) {
    if (IsMdx()) h.key_flags |= tag_header::kFlagUnique;
    h.uniqueness = tag_header::kUniquenessUnique;
  }

  if (!IsMdx()) {
    std::string tag_name = platform::ExtractFileName(FileName());
    tags_.clear();
    cache_.clear();
    auto tag = std::make_unique<TIndexTag>(format_, tag_name, 0, h, Pages());
    tag->SetParser(std::move(parser));
    tags_.push_back(std::move(tag));
    selected_ = 0;
    try {
      SetRecordCount(0);
      end_of_file_ = 0;
      tags_[0]->MutableHeader().page_count = 1;
      BuildTag(*tags_[0]);
    } catch (...) {
      tags_.clear();
      const std::string path = FileName();
      TPagedFile::Close();
      platform::DeleteFile(path);
      throw;
    }
    return;
  }

  std::string tag_name = core::AsciiUpper(name).substr(0, TagNameWidth() - 1);
  if (tag_name.empty()) throw EDbfError("A tag needs a name.");
  if (FindTag(tag_name)) DeleteTag(tag_name);
  if (tags_.size() >= mdx::kMaxTags) throw EDbfError(kTooManyIndexes);
  // The tag header block comes first; the tree follows it.
  const uint32_t header_unit = core::GetU32LE(header_, mdx::kNextFreeUnitOffset);
  if (header_unit < FirstPage() ||
      uint64_t{header_unit} * kIndexUnitSize > RefreshedEnd() + kAllocationSlack)
    Damaged("the next free unit " + std::to_string(header_unit) + " is impossible");
  core::PutU32LE(header_, mdx::kNextFreeUnitOffset, header_unit + mdx::kUnitsPerBlock);
  end_of_file_ = std::max<uint64_t>(end_of_file_,
                                    uint64_t{header_unit} * kIndexUnitSize + mdx::kBlockSize);
  auto tag = std::make_unique<TIndexTag>(format_, tag_name, header_unit, h, Pages());
  tag->SetParser(std::move(parser));
  tag->SetCollation(weights_);
  try {
    BuildTag(*tag);
  } catch (...) {
    // The blocks written stay unused; the tag table is as it was.
    WriteMdxHeader();
    throw;
  }
  const size_t i = tags_.size();
  WriteTagEntry(i, *tag, options.expression);
  core::PutU16LE(header_, mdx::kTagCountOffset, static_cast<uint16_t>(i + 1));
  WriteMdxHeader();
  tags_.push_back(std::move(tag));
  selected_ = i;
}

void TIndexFile::DeleteTag(const std::string& name) {
  if (IsShared()) throw EDbfError(kNeedExclusiveAccess);
  if (!IsMdx()) {
    const std::string path = FileName();
    tags_.clear();
    cache_.clear();
    TPagedFile::Close();
    platform::DeleteFile(path);
    return;
  }
  TIndexTag* tag = FindTag(name);
  if (!tag) throw EDbfError("Tag \"" + name + "\" not found.");
  const size_t i = static_cast<size_t>(
      std::find_if(tags_.begin(), tags_.end(), [tag](const auto& t) { return t.get() == tag; }) -
      tags_.begin());
  const size_t entry = TagEntrySize();
  const size_t count = tags_.size();
  auto at = [&](size_t k) {
    return header_.begin() + static_cast<std::ptrdiff_t>(mdx::kTagTableOffset + k * entry);
  };
  std::copy(at(i + 1), at(count), at(i));
  std::fill(at(count - 1), at(count), std::byte{0});
  core::PutU16LE(header_, mdx::kTagCountOffset, static_cast<uint16_t>(count - 1));
  WriteMdxHeader();
  tags_.erase(tags_.begin() + static_cast<std::ptrdiff_t>(i));
  if (selected_ >= tags_.size()) selected_ = 0;
}

// ---- cursor ---------------------------------------------------------------------------------

void TIndexFile::Prepare() {
  TIndexTag* tag = SelectedTag();
  if (!tag) throw EDbfError("The index has no tags.");
  if (IsShared()) Refresh(*tag);
}

bool TIndexFile::First() {
  Prepare();
  return SelectedTag()->First();
}
bool TIndexFile::Last() {
  Prepare();
  return SelectedTag()->Last();
}
bool TIndexFile::Next() {
  Prepare();
  return SelectedTag()->Next();
}
bool TIndexFile::Prior() {
  Prepare();
  return SelectedTag()->Prior();
}
bool TIndexFile::Search(std::span<const std::byte> key, bool exact) {
  Prepare();
  return SelectedTag()->Search(key, exact);
}
bool TIndexFile::GotoRecord(uint32_t n) {
  Prepare();
  std::vector<std::byte> record(table_.RecordSize());
  if (n == 0 || table_.ReadRecord(n, record) < record.size()) return false;
  TIndexTag& tag = *SelectedTag();
  std::vector<std::byte> key(tag.KeyOf(record).begin(), tag.KeyOf(record).end());
  return tag.GotoEntry(key, n);
}
void TIndexFile::SetRange(std::span<const std::byte> low, std::span<const std::byte> high) {
  Prepare();
  SelectedTag()->SetRange(low, high);
}
void TIndexFile::CancelRange() {
  if (TIndexTag* tag = SelectedTag()) tag->CancelRange();
}
uint64_t TIndexFile::EstimatedPosition() {
  Prepare();
  return SelectedTag()->EstimatedPosition();
}
uint64_t TIndexFile::EstimatedCount() {
  Prepare();
  return SelectedTag()->EstimatedCount();
}
bool TIndexFile::SeekPosition(uint64_t position) {
  Prepare();
  return SelectedTag()->SeekPosition(position);
}

// ---- production index -----------------------------------------------------------------------

TIndexFile* ProductionIndexOf(TDbfFile& table, bool create) {
  for (size_t i = 0; i < table.IndexCount(); ++i) {
    auto* index = dynamic_cast<TIndexFile*>(&table.Index(i));
    if (index && index->IsMdx()) return index;
  }
  if (!create) return nullptr;
  auto index = std::make_unique<TIndexFile>(table);
  index->SetFileName(platform::ChangeFileExt(table.FileName(), ".mdx"));
  index->SetMode(IndexCreateMode(table.Mode()));
  index->SetOnLocaleError(table.OnLocaleError());
  index->Open();
  TIndexFile* result = index.get();
  table.AddIndex(std::move(index));
  core::PutU8(table.Header(), dbf_layout::kProductionIndexOffset, 1);
  table.WriteHeader();
  return result;
}

std::unique_ptr<TIndexFile> OpenProductionIndexFile(TDbfFile& table, const std::string& path,
                                                    TFileAccessMode mode) {
  auto index = std::make_unique<TIndexFile>(table);
  index->SetFileName(path);
  index->SetMode(mode);
  index->SetOnLocaleError(table.OnLocaleError());
  index->Open();
  return index;
}

}  // namespace lgoty::dbf
