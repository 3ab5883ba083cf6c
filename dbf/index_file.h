// TIndexFile: an index file of a table, either a multi-tag MDX file (the production index of a
// level-4 or level-7 table, up to 47 tags; dbf/mdx_format.h) or a single-key NDX file (page 0
// is its tag header; dbf/index_format.h). Each tag is a B-tree (dbf/index_tag.h).
//
// Which format: an extension of ".MDX" (any case) makes an MDX file, any other an NDX file.
//
// Keeping keys current: TIndexFile is a TRecordIndex, so the data file inserts, replaces and
// removes the keys of every tag as records are appended, written back and deleted. A tag of
// kind distinct refuses a key that is present (EDbfKeyViolation, every tag left as it was);
// a tag of kind unique keeps only the first record of a key and quietly leaves out the rest.
//
// Sharing: in the shared modes every change of a tag runs under the lock of its tag header
// page, re-reads the tag header and the pages it visits, locks each page before changing it,
// and writes the changed pages back before releasing the locks. New pages are allocated under
// the lock of the file header (MDX) or the tag header (NDX), which is re-read first. Readers
// re-read the tag header and the pages on every cursor call. Creating and deleting tags needs
// the file opened exclusively.
//
// Collation of character keys (MDX): the table's language driver decides; an index whose
// language driver byte differs raises the locale question (TLocaleErrorHandler): lsNotOpen
// leaves the index closed (Open throws), lsNoEdit opens it without ever changing it, lsBinary
// orders keys by plain byte values. NDX files always use plain byte order.
//
// Estimates: each page on the cursor's path weighs 1 (leaf) or max entries x the weight of
// the level below (inner); the position is 1 + the sum of entry index x weight along the path
// and the count the root's weight x (root key count + 1).
//
// The table is borrowed: it must stay open (and keep its field definitions) while the index
// is open.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "dbf/index_errors.h"
#include "dbf/index_format.h"
#include "dbf/index_page.h"
#include "dbf/index_tag.h"
#include "dbf/paged_file.h"
#include "dbf/record_index.h"

namespace lgoty::dbf {

class TDbfFile;

struct TIndexOptions {
  TIndexKind kind = TIndexKind::ikNone;  // unique (the unique option), distinct (primary)
  bool descending = false;
  bool expression = false;  // key format byte 0x00 instead of 0x10 in the tag table
};

class TIndexFile : public TPagedFile, public TRecordIndex, private TIndexPageStore {
 public:
  explicit TIndexFile(TDbfFile& table);
  ~TIndexFile() override;

  void SetOnLocaleError(TLocaleErrorHandler handler) { on_locale_error_ = std::move(handler); }
  // Progress of CreateTag's bulk build: done of total work units, done never falling and
  // ending at total. Called at the start, every few thousand records while the keys are read,
  // after the sort and after the pages are written. Empty (the default): no reports.
  using TBuildProgress = std::function<void(uint64_t done, uint64_t total)>;
  void SetOnBuildProgress(TBuildProgress handler) { on_build_progress_ = std::move(handler); }

  // Opens FileName() in Mode(). A creating mode makes an empty MDX (header only) or, for an
  // NDX, waits for CreateTag. Throws EDbfError for a damaged file or a refused locale.
  void Open() override;
  void Close() override;
  bool IsMdx() const { return format_ == TIndexFormat::ifMdx; }
  TIndexFormat Format() const { return format_; }
  // lsNoEdit was chosen: keys are never changed.
  bool NoEdit() const { return no_edit_; }
  TLocaleError LocaleError() const { return locale_error_; }
  // MDX: the kind byte (2 or 3).
  uint8_t MdxKind() const { return mdx_kind_; }
  std::span<const std::byte> MdxHeader() const { return header_; }

  // ---- tags ----------------------------------------------------------------------------------
  size_t TagCount() const { return tags_.size(); }
  TIndexTag& Tag(size_t i) { return *tags_[i]; }
  std::vector<std::string> TagNames() const;
  // Case-insensitive; nullptr when none.
  TIndexTag* FindTag(const std::string& name);
  // Creates the tag (replacing a tag of that name) and fills it from every record of the
  // table. Throws EDbfError with the creation messages; on failure the tag is not there.
  void CreateTag(const std::string& expression, const std::string& name,
                 const TIndexOptions& options);
  // MDX: removes the tag from the tag table (its blocks are not reused).
  void DeleteTag(const std::string& name);
  bool SelectTag(const std::string& name);
  void SelectTag(size_t i) { selected_ = i; }
  // nullptr when the file has no tags.
  TIndexTag* SelectedTag() { return selected_ < tags_.size() ? tags_[selected_].get() : nullptr; }

  // ---- cursor of the selected tag (REQUIRES: SelectedTag()) ----------------------------------
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  bool Search(std::span<const std::byte> key, bool exact);
  // Reads record n, computes its key and goes to its entry.
  bool GotoRecord(uint32_t n);
  uint32_t RecNo() { return SelectedTag()->RecNo(); }
  bool Bof() { return SelectedTag()->Bof(); }
  bool Eof() { return SelectedTag()->Eof(); }
  void SetRange(std::span<const std::byte> low, std::span<const std::byte> high);
  void CancelRange();
  uint64_t EstimatedPosition();
  uint64_t EstimatedCount();
  // The selected tag onto about that 1-based place (TIndexTag::SeekPosition).
  bool SeekPosition(uint64_t position);
  // Whether the entry under the cursor names a record that holds it: the record is in the
  // table (the count is read again when the entry lies beyond it: its row may have arrived
  // since), and its key is the entry's key or at least not one the tag holds for it too.
  // An entry whose row is not written yet, or that an appender killed between its keys and
  // its row left behind, fails; readers pass over it. record receives the record image
  // (RecordSize() bytes).
  bool CurrentEntryHolds(std::span<std::byte> record);

  // ---- TRecordIndex --------------------------------------------------------------------------
  void Insert(uint32_t n, std::span<const std::byte> record) override;
  void Update(uint32_t n, std::span<const std::byte> old_record,
              std::span<const std::byte> new_record) override;
  void Delete(uint32_t n, std::span<const std::byte> record) override;
  void RecordDeleted(uint32_t n, std::span<const std::byte> record) override;
  bool WriteError() const override { return TPagedFile::WriteError(); }
  void ResetWriteError() override { TPagedFile::ResetWriteError(); }
  TPagedFile* File() override { return this; }

  TDbfFile& Table() { return table_; }
  // The page store of the tags (the verifier reads through it).
  TIndexPageStore& Pages() { return *this; }
  // Shared mode: forget cached pages and re-read the tag's header.
  void Refresh(TIndexTag& tag);

 private:
  friend class TIndexChangeScope;
  // TIndexPageStore
  std::span<std::byte> Page(uint32_t n) override;
  void Touch(uint32_t n) override;
  uint32_t AllocatePage() override;
  std::string StoreName() const override;
  // Throws the damage of this file (ThrowDamagedIndex).
  [[noreturn]] void Damaged(const std::string& what) const;
  // The end of the file as the system sees it or as allocations made it, whichever is later.
  uint64_t RefreshedEnd();

  void OpenMdx(bool create);
  void OpenNdx(bool create);
  void LoadMdxTags();
  std::unique_ptr<TIndexTag> LoadTag(const std::string& name, uint32_t header_page);
  void DecideCollation();
  void BuildTag(TIndexTag& tag);
  void BeginChange(TIndexTag& tag);
  void EndChange(TIndexTag& tag);
  void AbortChange(TIndexTag& tag);
  void WriteTagHeader(TIndexTag& tag);
  void WriteMdxHeader();
  void WriteTagEntry(size_t i, const TIndexTag& tag, bool expression);
  size_t TagEntrySize() const;
  size_t TagNameWidth() const;
  uint32_t FirstPage() const;
  std::string IndexNameFor(const TIndexTag& tag) const;
  std::string KeyText(const TIndexTag& tag, std::span<const std::byte> key) const;
  void Prepare();
  bool KeyIn(const TIndexTag& tag, std::span<const std::byte> record) const;
  // An entry (key, holder) found while adding is left over from an appender that died
  // between its keys and its row: nobody holds the record's lock (no append or edit is
  // under way) and the record is beyond the table or holds another key.
  bool IsStaleEntry(TIndexTag& tag, std::span<const std::byte> key, uint32_t holder);

  TDbfFile& table_;
  TIndexFormat format_ = TIndexFormat::ifMdx;
  TLocaleErrorHandler on_locale_error_;
  TBuildProgress on_build_progress_;
  TLocaleError locale_error_ = TLocaleError::leNone;
  bool no_edit_ = false;
  const TCollationWeights* weights_ = nullptr;
  uint8_t mdx_kind_ = 0;
  std::vector<std::byte> header_;  // MDX file header
  std::vector<std::unique_ptr<TIndexTag>> tags_;
  size_t selected_ = 0;

  std::unordered_map<uint32_t, std::vector<std::byte>> cache_;
  std::vector<uint32_t> dirty_;
  std::vector<uint32_t> locked_;
  uint64_t end_of_file_ = 0;
  bool header_dirty_ = false;
  bool in_change_ = false;
};

// The production index of table: the open MDX among its indexes, or a new one created next
// to it (setting the table's production index flag) when create is set; nullptr otherwise.
// A new one replaces any .mdx file of that name that the table did not open.
TIndexFile* ProductionIndexOf(TDbfFile& table, bool create);
// Opens the .mdx at path for table (the data file's default production index opener).
std::unique_ptr<TIndexFile> OpenProductionIndexFile(TDbfFile& table, const std::string& path,
                                                    TFileAccessMode mode);

}  // namespace lgoty::dbf
