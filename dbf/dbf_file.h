// TDbfFile: the data file of a table. On top of TPagedFile it reads and checks the header
// (dbf/dbf_header.h), derives the table level, code pages and field definitions, opens the
// memo file and the production index, and performs the record operations of a dataset:
// blank record, lock-and-read for editing, write-back with index upkeep, append with record
// numbering, and delete notification.
//
// Invariants while open:
//   1. HeaderSize() is the header length of the file and RecordSize() its record length;
//      every field lies inside the record (checked on open).
//   2. The header's record count (offset 4) equals the count from the file size after
//      open; appends keep it so (in shared modes under the header lock, record 0).
//   3. At most one record is locked for editing; OldImage() is its image as read.
//   4. In shared modes every write that makes the file longer (the 0x1A byte after the last
//      record, an appended record) happens under the header lock, so a 0x1A written after
//      the records another program sees can never land on a record it is appending.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dbf/field_defs.h"
#include "dbf/index_errors.h"
#include "dbf/memo_file.h"
#include "dbf/paged_file.h"
#include "dbf/record_index.h"

namespace lgoty::dbf {

// The mode an index file gets from its data file's mode, when opened and when created.
TFileAccessMode IndexOpenMode(TFileAccessMode data_mode);
TFileAccessMode IndexCreateMode(TFileAccessMode data_mode);

class TDbfFile : public TPagedFile {
 public:
  // Raised when the production index of a table is missing; delete_link arrives true.
  // Leaving it true clears the table's production index flag; false abandons the open.
  using TIndexMissingHandler = std::function<void(bool& delete_link)>;
  // Opens the production index file at path in mode, for text in code_page. Returns nullptr
  // or throws when it cannot; the table then opens without it.
  using TProductionIndexOpener = std::function<std::unique_ptr<TRecordIndex>(
      const std::string& path, TFileAccessMode mode, int code_page)>;

  TDbfFile();
  ~TDbfFile() override;

  // ---- configuration (while closed) --------------------------------------------------------
  // Level of a table to create: 3, 4, 7 or 25; other values are ignored. Open derives the
  // level from the file.
  void SetTableLevel(int level);
  void SetDateTimeHandling(TDateTimeHandling handling) { datetime_handling_ = handling; }
  void SetOnIndexMissing(TIndexMissingHandler handler) { on_index_missing_ = std::move(handler); }
  void SetProductionIndexOpener(TProductionIndexOpener opener) {
    index_opener_ = std::move(opener);
  }
  // Asked when the production index's language differs from the table's (without an opener
  // of its own, the table opens its .mdx with dbf/index_file.h).
  void SetOnLocaleError(TLocaleErrorHandler handler) { on_locale_error_ = std::move(handler); }
  const TLocaleErrorHandler& OnLocaleError() const { return on_locale_error_; }
  // Memory stream of the memo file in the memory modes (borrowed, like SetMemoryStream).
  void SetMemoMemoryStream(platform::MemoryFile* stream) { memo_memory_ = stream; }
  // Called by Insert between the steps of an append, with the record number: after every
  // index holds the new record's keys and before its row is written. Lets tests stop or end
  // a process at exactly that point; empty (the default) costs nothing.
  using TAppendStepHook = std::function<void(uint32_t n)>;
  void SetOnKeysWritten(TAppendStepHook hook) { on_keys_written_ = std::move(hook); }

  // ---- open, create, close -----------------------------------------------------------------
  // Opens an existing table. Throws EDbfError for an invalid file (nothing stays open).
  // A zero header or record length, or a refused index-missing question, abandons the open
  // silently: the file is closed again and OpenAbandoned() tells.
  void Open() override;
  bool OpenAbandoned() const { return open_abandoned_; }
  // Creates the table (emptying the file) from field definitions and leaves it open. ldid 0
  // takes the engine's default; memo_block_size is for a new memo file.
  void Create(const TDbfFieldDefs& defs, uint8_t ldid, size_t memo_block_size);
  void Close() override;

  // Stamps today's date into the header, writes it (now in shared modes, else at close) and
  // writes the end-of-file byte 0x1A after the last record.
  void WriteHeader() override;

  // ---- what the table is -------------------------------------------------------------------
  int TableLevel() const { return table_level_; }
  uint8_t LanguageId() const { return language_id_; }
  int TableCodePage() const { return table_code_page_; }
  // The table code page, or the engine's default code page when the table has none.
  int EffectiveCodePage() const { return effective_code_page_; }
  // Replaces the effective code page until the next open (a code page the user forced on a
  // table whose own one cannot be converted). Parsers made afterwards use it; the caller
  // moves the parsers of indexes already open.
  void ForceCodePage(int code_page) { effective_code_page_ = code_page; }
  // The level-7 language driver name (up to its first NUL); empty at other levels.
  std::string Level7LanguageName() const;
  const TDbfFieldDefs& FieldDefs() const { return defs_; }
  TDbfFieldDefs& FieldDefs() { return defs_; }
  bool HasAutoInc() const { return has_autoinc_; }
  // Index of the "_DBASELOCK" / "_NULLFLAGS" field, -1 when none.
  int LockField() const { return lock_field_; }
  int NullFlagsField() const { return null_flags_field_; }
  // The memo file (a TNullMemoFile when the table's memo file is missing); nullptr when the
  // table has no memo fields. Lives until Close.
  TMemoFile* MemoFile() { return memo_.get(); }

  // ---- indexes -----------------------------------------------------------------------------
  void AddIndex(std::unique_ptr<TRecordIndex> index);
  std::unique_ptr<TRecordIndex> RemoveIndex(TRecordIndex* index);
  size_t IndexCount() const { return indexes_.size(); }
  TRecordIndex& Index(size_t i) { return *indexes_[i]; }

  // ---- record operations -------------------------------------------------------------------
  // The template of a new record (RecordSize() bytes).
  std::span<const std::byte> BlankRecord() const { return blank_record_; }
  void InitRecord(std::span<std::byte> buffer) const;
  // Locks record n without waiting (EDbfError "Record locked." when another handle holds
  // it), reads it into buffer and keeps the image as OldImage(). Fills and writes the
  // "_DBASELOCK" field when the table has one.
  void LockRecord(uint32_t n, std::span<std::byte> buffer);
  // Writes back an edited record: every index replaces its key (rolled back in reverse order
  // when one refuses, whose error then propagates with the record still locked), then the
  // record is written and unlocked.
  void UnlockRecord(uint32_t n, std::span<const std::byte> buffer);
  // Gives up an edit: releases the lock without writing.
  void CancelRecordLock(uint32_t n);
  // Appends buffer as a new record and returns its number (auto-increment and "_DBASELOCK"
  // fields are filled into buffer).
  uint32_t Insert(std::span<std::byte> buffer);
  // Tells every index that record n (image buffer) is being marked deleted.
  void RecordDeleted(uint32_t n, std::span<const std::byte> buffer);
  std::span<const std::byte> OldImage() const { return old_image_; }
  uint32_t LockedRecord() const { return locked_record_; }

  // ---- temporary exclusive access over data, index and memo files --------------------------
  void TryExclusive() override;
  void EndExclusive() override;

 private:
  void ResetState();
  void OpenMemoFile(bool create, size_t block_size);
  // Returns false when the open is to be abandoned; sets clear_flag when the production
  // index flag is to be cleared.
  bool OpenProductionIndex(bool& clear_flag);
  // The header rewrite that ends an open: version byte (-1 = unchanged), flag, repaired
  // count, today's date and the end-of-file byte.
  void RewriteHeaderOnOpen(int version, bool clear_production_index);
  void FillDbaseLock(std::span<std::byte> record) const;
  void AssignAutoIncValues(std::span<std::byte> record);
  void ResetAllWriteErrors();
  void Abandon();

  int create_level_ = kTableLevel4;
  TDateTimeHandling datetime_handling_ = TDateTimeHandling::dtBDETimeStamp;
  TIndexMissingHandler on_index_missing_;
  TProductionIndexOpener index_opener_;
  TLocaleErrorHandler on_locale_error_;
  platform::MemoryFile* memo_memory_ = nullptr;
  TAppendStepHook on_keys_written_;

  bool open_abandoned_ = false;
  int table_level_ = kTableLevel4;
  uint8_t language_id_ = 0;
  int table_code_page_ = 0;
  int effective_code_page_ = 0;
  TDbfFieldDefs defs_;
  bool has_autoinc_ = false;
  int lock_field_ = -1;
  int null_flags_field_ = -1;
  std::unique_ptr<TMemoFile> memo_;
  std::vector<std::unique_ptr<TRecordIndex>> indexes_;

  std::vector<std::byte> blank_record_;
  std::vector<std::byte> old_image_;
  uint32_t locked_record_ = 0;
};

}  // namespace lgoty::dbf
