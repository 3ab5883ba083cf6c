// TDbf: the dataset over a DBF table. It is a façade: the records come from a TDbfFile
// (dbf/dbf_file.h), their order from a cursor (dbf/table_cursor.h: physical order or an
// index tag), filters from a TDbfParser (dbf/dbf_parser.h), memo values through blob slots
// (dbf/table_blob_slot.h), and the dataset machinery - states, the buffer window, events and
// notifications - from data::TDataSet, whose hooks this class implements.
//
// Record buffer: the physical record number (the bookmark: 4 bytes, little-endian), the
// cursor's sequential number, the raw record (record length bytes: deletion flag, fields),
// and one blob slot per field holding a memo value read or written since the record was read.
//
// Files of one open: the data file, its memo file and index files all belong to the TDbfFile
// made by Open and released by Close. Cursors, the filter parser and blob slots borrow from
// it and are released first.
//
// Code pages. Text inside the program is UTF-8; a string field's bytes are in the table's
// code page and pass through Translate on every read and write. The translation mode follows
// from the effective code page: ANSI or OEM when it is the system's ANSI or OEM code page,
// installed when this system converts it, none otherwise (the dataset then cannot be
// modified, unless OnLanguageWarning chooses another code page).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/data_source.h"
#include "data/dataset.h"
#include "dbf/dbf_file.h"
#include "dbf/index_errors.h"
#include "dbf/table_blob_slot.h"
#include "dbf/table_index_defs.h"

namespace lgoty::platform {
class MemoryFile;
}

namespace lgoty::dbf {

class TDbfCursor;
class TIndexCursor;
class TIndexFile;
class TDbfParser;
class TIndexTag;

enum class TDbfOpenMode : uint8_t { omNormal, omAutoCreate, omTemporary };
enum class TDbfStorage : uint8_t { stoFile, stoMemory };
enum class TDbfLanguageAction : uint8_t { laReadOnly, laForceOEM, laForceANSI, laDefault };
// How text is translated: the effective code page is the system's ANSI or OEM code page, or
// another code page this system converts, or one it cannot convert (none).
enum class TDbfTranslationMode : uint8_t { tmNone, tmAnsi, tmOem, tmInstalled };

// The engine's version text (major.minor, two minor digits).
inline constexpr const char* kDbfEngineVersion = "1.00";

std::string IndexNotFoundMessage(const std::string& name);

class TDbf : public data::TDataSet {
 public:
  TDbf();
  ~TDbf() override;
  const char* ClassName() const override { return "TDbf"; }

  // ---- published properties (changeable while closed unless noted) ------------------------
  const std::string& TableName() const { return table_name_; }
  // A value with a folder part also sets FilePath.
  void SetTableName(std::string_view name);
  const std::string& FilePath() const { return file_path_; }
  void SetFilePath(std::string_view path);
  std::string FilePathFull() const;
  int TableLevel() const { return table_level_; }
  void SetTableLevel(int level);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value);
  bool ShowDeleted() const { return show_deleted_; }
  // Refreshes an open dataset.
  void SetShowDeleted(bool value);
  const std::string& IndexName() const { return index_name_; }
  // See the class comment of the .cpp: falls back to physical order and raises
  // "Index "%s" does not exist." for a name that names no index.
  void SetIndexName(std::string_view name);
  // The key expression of the current index ("" in physical order).
  std::string IndexFieldNames() const;
  // Selects the index whose key expression equals expression.
  void SetIndexFieldNames(std::string_view expression);
  TDbfIndexDefs& Indexes() { return indexes_; }
  TDbfIndexDefs& IndexDefs() { return indexes_; }
  TDbfOpenMode OpenMode() const { return open_mode_; }
  void SetOpenMode(TDbfOpenMode mode) { open_mode_ = mode; }
  TDbfStorage Storage() const { return storage_; }
  void SetStorage(TDbfStorage storage);
  // The stream of a stoMemory table (borrowed; nullptr: a stream of the dataset's own).
  void SetUserStream(platform::MemoryFile* stream) { user_stream_ = stream; }
  TDateTimeHandling DateTimeHandling() const { return datetime_handling_; }
  void SetDateTimeHandling(TDateTimeHandling value) { datetime_handling_ = value; }
  data::TDataSource* MasterSource() const;
  // "Circular datalinks are not allowed" when source's dataset takes its records from this.
  void SetMasterSource(data::TDataSource* source);
  const std::string& MasterFields() const { return master_fields_; }
  void SetMasterFields(std::string_view fields);
  bool StoreDefs() const { return store_defs_; }
  void SetStoreDefs(bool value) { store_defs_ = value; }
  std::string Version() const { return kDbfEngineVersion; }
  // LDID of a table created by auto-create (0: the engine's default).
  uint8_t LanguageID() const { return language_id_; }
  void SetLanguageID(uint8_t ldid) { language_id_ = ldid; }

  // ---- events ----------------------------------------------------------------------------
  std::function<void(TDbf&, bool& do_create)> BeforeAutoCreate;
  std::function<void(TDbf&, TDbfLanguageAction& action)> OnLanguageWarning;
  std::function<void(TDbf&, bool& delete_link)> OnIndexMissing;
  std::function<void(TDbf&, TLocaleError error, TLocaleSolution& solution)> OnLocaleError;
  // Replaces the built-in translation: src to dest (to_oem: towards the table); returns the
  // length of dest, or -1 for "the length of dest as it stands".
  std::function<int(TDbf&, std::string_view src, std::string& dest, bool to_oem)> OnTranslate;
  // Settable so that forms can wire them, but the engine does not raise them yet.
  std::function<void(TDbf&)> OnCompareRecord;
  std::function<void(TDbf&)> OnCopyDateTimeAsString;
  // Progress of BuildIndex: done of total work units, done never falling and ending at total.
  // Raised from inside the build, so it must not touch this dataset.
  std::function<void(TDbf&, uint64_t done, uint64_t total)> OnProgress;

  // ---- table operations --------------------------------------------------------------------
  // Builds an index (a tag of the production index, or an .ndx file for a name with an
  // extension) from every record and lists it in Indexes.
  void BuildIndex(std::string_view name, std::string_view expression, TIndexOptionSet options);
  void RemoveIndex(std::string_view name);
  bool CanModifyTable() const { return CanModify(); }
  // Sequential number as the cursor counts it (physical: the record number).
  using data::TDataSet::RecNo;
  using data::TDataSet::SetRecNo;
  // The translation of the open table.
  TDbfTranslationMode TranslationMode() const { return translation_mode_; }
  int EffectiveCodePage() const { return code_page_; }
  // The physical record number of the current record (0 when none).
  uint32_t PhysicalRecNo() const;
  // The data file of the open table (nullptr while closed).
  TDbfFile* DbfFile() { return file_.get(); }

  std::string Translate(std::string_view text, bool to_table) const override;
  data::TDataSource* GetDataSource() const override;

 protected:
  struct Buffer : data::TRecordBuffer {
    uint32_t physical = 0;  // the bookmark; 0 for a record not yet in the file
    int sequential = 0;
    std::vector<std::byte> record;
    // One slot per memo field, by memo ordinal (memo values read or written).
    mutable std::vector<TDbfBlobSlot> blobs;
  };

  void InternalInitFieldDefs() override;
  void InternalOpen() override;
  void InternalClose() override;
  std::unique_ptr<data::TRecordBuffer> AllocRecordBuffer() override;
  void InternalInitRecord(data::TRecordBuffer& buffer) override;
  void InternalFirst() override;
  void InternalLast() override;
  data::TGetResult InternalGetRecord(data::TRecordBuffer& buffer, data::TGetMode mode) override;
  bool RecordFilter(const data::TRecordBuffer& buffer) override;
  void InternalSetToRecord(const data::TRecordBuffer& buffer) override;
  data::TBookmark GetBookmarkData(const data::TRecordBuffer& buffer) const override;
  void InternalGotoBookmark(const data::TBookmark& bookmark) override;
  int CompareBookmarkData(const data::TBookmark& a, const data::TBookmark& b) const override;
  bool GetFieldData(const data::TRecordBuffer& buffer, const data::TField& field,
                    core::Variant& out) const override;
  bool GetFieldDouble(const data::TRecordBuffer& buffer, const data::TField& field,
                      double& out) const override;
  void SetFieldData(data::TRecordBuffer& buffer, const data::TField& field,
                    const core::Variant& value) override;
  void InternalEdit() override;
  void InternalInsert() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  int GetRecordCount() override;
  int GetRecNo(const data::TRecordBuffer& buffer) const override;
  bool InternalSetRecNo(int rec_no) override;
  bool CanModify() const override;
  void FilterTextChanged() override;
  bool LocateRecord(std::string_view key_fields, const std::vector<data::TField*>& fields,
                    const core::Variant& values, data::TLocateOptions options,
                    bool sync) override;

 private:
  // Hears the master dataset move and restricts this one to the master's key.
  class MasterLink final : public data::TDataLink {
   public:
    explicit MasterLink(TDbf& detail) : detail_(detail) {}

   protected:
    void ActiveChanged() override { detail_.MasterChanged(); }
    void DataSetChanged() override { detail_.MasterChanged(); }
    void DataSetScrolled(int) override { detail_.MasterChanged(); }

   private:
    TDbf& detail_;
  };

  // ---- open and close (table_dataset.cpp) ----
  std::string FullTableName() const;
  std::unique_ptr<TDbfFile> MakeFile() const;
  // Creates the table from the field definitions (auto-create); false when BeforeAutoCreate
  // said no.
  bool AutoCreate();
  void CreateTable();
  void DecideTranslation();
  void BuildFieldDefs(TDbfFile& file, data::TFieldDefs& defs);
  void AddProductionIndexDefs();
  void OpenIndexDefs();
  TFileAccessMode DataFileMode() const;

  // ---- records (table_dataset_records.cpp) ----
  Buffer& Cast(data::TRecordBuffer& buffer) const;
  const Buffer& Cast(const data::TRecordBuffer& buffer) const;
  // Reads physical record n into buffer (false when the file does not hold it).
  bool ReadInto(Buffer& buffer, uint32_t n);
  const TDbfFieldDef& DefOf(const data::TField& field) const;
  // The slot of memo field def_index in buffer, loaded from the memo file.
  TDbfBlobSlot& SlotOf(const Buffer& buffer, int def_index) const;
  uint32_t MemoBlockOf(const Buffer& buffer, int def_index) const;
  void FlushBlobs(Buffer& buffer);
  void ResetBlobs(Buffer& buffer) const;

  // ---- indexes (table_dataset_index.cpp) ----
  // A name with an extension made relative to FilePathFull when it has no folder.
  std::string ResolveIndexName(std::string_view name) const;
  // The open .ndx file of that resolved name; nullptr when none.
  TIndexFile* FindNdx(const std::string& path);
  // The index registered under name: an .ndx file (tag == its only tag) or a production tag.
  bool FindIndex(std::string_view name, TIndexFile*& file, TIndexTag*& tag);
  // Replaces the cursor by one on (file, tag), or physical order when file is nullptr,
  // keeping the current physical record.
  void SwitchCursor(TIndexFile* file, TIndexTag* tag);
  void ApplyIndexName();
  void DropIndexCursorOn(TIndexFile* file, TIndexTag* tag);
  void ApplyMasterRange();
  // The master moved: restrict to its key and go to the first record.
  void MasterChanged();
  // Puts the index cursor back after the index files changed under it.
  void RestoreIndexCursor(bool had_index);
  // The search key of value for tag: numeric encoding or text cut and padded.
  std::vector<std::byte> SearchKey(TIndexTag& tag, const core::Variant& value) const;
  bool IndexLocate(TIndexCursor& cursor, const std::vector<std::byte>& key, bool partial,
                   uint32_t& found);

  std::string table_name_;
  std::string file_path_;
  int table_level_ = kTableLevel4;
  bool exclusive_ = false;
  bool read_only_ = false;
  bool show_deleted_ = false;
  std::string index_name_;
  TDbfIndexDefs indexes_;
  TDbfOpenMode open_mode_ = TDbfOpenMode::omNormal;
  TDbfStorage storage_ = TDbfStorage::stoFile;
  platform::MemoryFile* user_stream_ = nullptr;
  std::unique_ptr<platform::MemoryFile> own_stream_;
  std::unique_ptr<platform::MemoryFile> own_memo_stream_;
  TDateTimeHandling datetime_handling_ = TDateTimeHandling::dtBDETimeStamp;
  std::string master_fields_;
  std::unique_ptr<MasterLink> master_link_;
  bool store_defs_ = false;
  uint8_t language_id_ = 0;

  // While open.
  std::unique_ptr<TDbfFile> file_;
  std::unique_ptr<TDbfCursor> cursor_;
  // The cursor when it walks an index, else (or when closed) null.
  TIndexCursor* IndexCursor() const;
  std::unique_ptr<TDbfParser> filter_;
  TDbfTranslationMode translation_mode_ = TDbfTranslationMode::tmNone;
  int code_page_ = 0;
  // Physical record locked for editing (0: none).
  uint32_t edit_lock_ = 0;
  // Field definition of each dataset field definition (by FieldNo - 1).
  std::vector<int> memo_slot_of_def_;
  int memo_count_ = 0;
};

}  // namespace lgoty::dbf
