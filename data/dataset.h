// TDataSet: the dataset abstraction that grids, data-aware edits, the report's data-set
// adapter and application code bind to. A concrete dataset (the DBF table, the SQL query,
// TMemoryDataSet) supplies a cursor through a small set of protected hooks; this class owns
// the state machine, the window of record buffers, navigation, editing, events, filtering by
// OnFilterRecord (a filter text is the descendant's: see FilterTextChanged and
// filter_expression.h), bookmarks, Locate/Lookup by scanning, calculated fields and
// notifications to data sources.
//
// ---------------------------------------------------------------------------------------
// States
//   dsInactive --Open--> dsBrowse --Edit--> dsEdit   --Post/Cancel--> dsBrowse --Close-->
//                                 --Insert/Append--> dsInsert --Post/Cancel--> dsBrowse
//   dsCalcFields and dsFilter are entered only for the duration of an OnCalcFields or
//   OnFilterRecord call (and dsFilter while Locate/Lookup/RecordCount test records); fields
//   then read the buffer being calculated or tested, and no notification is sent. The other
//   values of TDataSetState keep their ordinals for scripts; this class never enters them.
//
// The record-buffer window
//   buffers_[0 .. record_count_-1] hold consecutive visible records of the cursor's order;
//   active_record_ is the current record. The window holds BufferCount() records (at least
//   1: the largest buffer count any data link asks for), plus one spare buffer at index
//   record_count_ into which the next fetch reads. Moving past either end of the window
//   fetches one record and rotates the buffers. Linked grids show the window and read row i
//   by moving the active record there (TDataLink::SetActiveRecord) and back.
//   BOF is set by First, by a Prior that finds no record, and on an empty dataset; EOF by
//   Last, by a Next that finds no record, and on an empty dataset.
//
// ---------------------------------------------------------------------------------------
// The contract of a concrete dataset (hooks; "the cursor" is the descendant's position)
//
//   Opening and closing
//     InternalInitFieldDefs()  fill FieldDefs(); may be called while closed (FieldDefs are
//                              asked for before Open) or from InternalOpen.
//     InternalOpen()           open the cursor, make sure FieldDefs() are filled; afterwards
//                              the base creates the default fields (or binds persistent
//                              ones by name) and reads the first records. Throwing
//                              EOpenAbandoned gives the open up silently: what was opened
//                              is closed, the dataset stays inactive, Open returns normally
//                              and no AfterOpen follows.
//     InternalClose()          release the cursor. Called after any pending edit was
//                              dropped through InternalCancel, and also after an open that
//                              failed half-way (it must cope with a cursor never opened).
//   Record buffers
//     AllocRecordBuffer()      a new buffer: a TRecordBuffer subclass holding the record's
//                              data, its bookmark and whatever the descendant needs. The base
//                              owns buffers; they live until Close or a buffer count change.
//                              The base's part (flag, calculated values) is the base's.
//     InternalInitRecord(b)    make b a blank new record (Insert/Append).
//   Cursor movement; the cursor is on a record or on a crack before the first / after the
//   last record.
//     InternalFirst()/InternalLast()  put the cursor on the crack before the first / after
//                              the last record.
//     InternalGetRecord(b,m)   gmNext/gmPrior: move one record and read it into b, or return
//                              grEOF/grBOF leaving the cursor on the crack; gmCurrent: read
//                              the record at the cursor (grError when there is none). The
//                              base calls it in a loop and skips records refused by
//                              RecordFilter or by OnFilterRecord (Filtered on); a refused
//                              current record is grError.
//     RecordFilter(b)          the descendant's own visibility rule (deleted records, a
//                              compiled filter text); default: visible. Fields read b
//                              (state dsFilter) while it runs.
//     InternalSetToRecord(b)   put the cursor on the record held in b.
//   Bookmarks
//     GetBookmarkData(b)       the bookmark of the record in b (never empty).
//     InternalGotoBookmark(k)  put the cursor on the bookmarked record (EDatabaseError when
//                              the record no longer exists).
//     CompareBookmarkData(a,b) -1, 0, 1 in the cursor's order; both are non-empty.
//   Field data; the buffer is the one the base chooses (active, calculated or tested)
//     GetFieldData(b, f, out)  false when the field is null; else out = the value in the
//                              canonical kind of f's type (table below).
//     SetFieldData(b, f, v)    store v (canonical kind, or Null to clear) into b; throw to
//                              refuse a value that does not fit.
//   Editing; before each call the cursor is on the active record (for Post of an insert:
//   wherever the window left it; the buffer says where the record goes)
//     InternalEdit()           lock and re-read the record into ActiveBuffer().
//     InternalInsert()         after the blank record was placed in ActiveBuffer().
//     InternalPost()           write ActiveBuffer(): State() tells edit or insert; an insert
//                              goes before the record bookmarked in the buffer's
//                              insert_before or, when the buffer's flag is bfEOF (Append),
//                              at the end (a dataset that only appends may ignore this).
//                              Afterwards the cursor must be on the posted record.
//     InternalCancel()         drop what InternalEdit/InternalInsert took (locks).
//     InternalDelete()         delete the record at the cursor; afterwards the cursor is on
//                              the record that followed (or on the crack after the last).
//     InternalRefresh()        forget cached data; the base then re-reads the window.
//   Optional overrides
//     GetRecordCount(), GetRecNo(b), InternalSetRecNo(n)  counts and sequential numbers
//                              (the base counts by scanning and numbers nothing);
//     LocateRecord(...)        an index fast path (the base scans);
//     Translate(text, to_table), CanModify(), FilterTextChanged(),
//     CreateBlobStream(field, mode), GetDataSource() (a master source).
//
//   A descendant's destructor must call CloseOnDestroy(): hooks cannot run from ~TDataSet.
//
// Canonical variant kinds that fields and GetFieldData/SetFieldData exchange:
//     ftString ftFixedChar ftWideString ftGuid        String (in the table's code page;
//                                                      string fields translate)
//     ftMemo ftFmtMemo ftOraClob, ftBlob and other blobs, ftBytes ftVarBytes
//                                                      String (bytes)
//     ftSmallint ftInteger ftWord ftAutoInc           Integer
//     ftLargeint                                      Int64
//     ftFloat ftCurrency                              Double
//     ftBCD ftFMTBcd                                  Currency
//     ftBoolean                                       Boolean
//     ftDate ftTime ftDateTime ftTimeStamp            Date
//     ftVariant                                       any
//
// Notifications: every change reaches the linked data sources as a TDataEvent (see
// data_source.h for what a data link makes of them). DisableControls/EnableControls nest;
// while the count is above zero nothing is sent; when it returns to zero a state change is
// sent if the state differs from the one at DisableControls, and then one deDataSetChange if
// the dataset is open.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/object.h"
#include "core/stream.h"
#include "core/variant.h"
#include "data/bookmark.h"
#include "data/field.h"
#include "data/field_defs.h"
#include "data/notify_list.h"

namespace lgoty::data {

class TDataSource;

enum class TDataSetState : uint8_t {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
  dsOldValue, dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};

enum class TDataEvent : uint8_t {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange,
  deUpdateRecord, deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange,
  deFocusControl
};

enum class TGetMode : uint8_t { gmCurrent, gmNext, gmPrior };
enum class TGetResult : uint8_t { grOK, grBOF, grEOF, grError };
enum class TBookmarkFlag : uint8_t { bfCurrent, bfBOF, bfEOF, bfInserted };
enum class TBlobStreamMode : uint8_t { bmRead, bmWrite, bmReadWrite };

struct TLocateOptions {
  bool loCaseInsensitive = false;
  bool loPartialKey = false;
};

struct TFilterOptions {
  bool foCaseInsensitive = false;
  bool foNoPartialCompare = false;
};

// A record buffer of the window. Concrete datasets derive from it.
struct TRecordBuffer {
  virtual ~TRecordBuffer() = default;
  TBookmarkFlag bookmark_flag = TBookmarkFlag::bfCurrent;
  // For an inserted record: the record it goes before (empty when appended).
  TBookmark insert_before;
  // Values of calculated fields, by TField calc slot.
  std::vector<core::Variant> calc_values;
};

// Thrown by a descendant's InternalOpen to give an open up on purpose (the caller's own
// handler declined, the source turned out to be nothing to open). Open catches it and never
// lets it reach its caller.
class EOpenAbandoned : public core::Exception {
 public:
  using core::Exception::Exception;
  const char* ClassName() const noexcept override { return "EOpenAbandoned"; }
};

class TDataSet : public core::TObject {
 public:
  using TNotifyEvent = std::function<void(TDataSet&)>;

  TDataSet();
  ~TDataSet() override;
  const char* ClassName() const override { return "TDataSet"; }

  // ---- state ------------------------------------------------------------------------------
  TDataSetState State() const { return state_; }
  bool Active() const { return state_ != TDataSetState::dsInactive; }
  void SetActive(bool active);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool Modified() const { return modified_; }
  bool BOF() const { return bof_; }
  bool Eof() const { return eof_; }
  bool IsEmpty() const;
  bool CanModifyData() const { return CanModify(); }

  // ---- navigation -------------------------------------------------------------------------
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  // Records actually moved (less than asked when BOF/EOF was reached).
  int MoveBy(int distance);
  // The sequential number of the current record as the cursor counts it (-1 when the
  // cursor does not number records; 0 on an empty dataset).
  int RecNo() const;
  void SetRecNo(int rec_no);
  int RecordCount();
  void Refresh();
  // Re-reads the window around the current record. rmExact: the current record must still
  // be visible ("Record not found"); rmCenter: the current record goes to the middle.
  void Resync(bool exact, bool center);

  // ---- editing ----------------------------------------------------------------------------
  void Edit();
  void Insert();
  void Append();
  void Post();
  void Cancel();
  void Delete();
  // Append (Insert) then assign values to the fields in order (Null skips), then Post.
  void AppendRecord(const std::vector<core::Variant>& values);
  void InsertRecord(const std::vector<core::Variant>& values);
  // Posts or cancels a pending edit (post when modified).
  void CheckBrowseMode();
  // Has linked controls write their pending input into the fields.
  void UpdateRecord();

  // ---- fields -----------------------------------------------------------------------------
  TFields& Fields() { return fields_; }
  const TFields& Fields() const { return fields_; }
  int FieldCount() const { return fields_.Count(); }
  TField* FindField(std::string_view name) const { return fields_.FindField(name); }
  TField& FieldByName(std::string_view name) const { return fields_.FieldByName(name); }
  // "A;B;C" as the fields (each must exist).
  std::vector<TField*> GetFieldList(std::string_view names) const;
  std::vector<std::string> GetFieldNames() const;
  // The field definitions, filled on demand while closed.
  TFieldDefs& FieldDefs();
  // Persistent fields: added while closed, kept after Close. Data fields bind to the field
  // definition of their name on Open ("Field 'X' not found" when there is none).
  TField& AddField(std::unique_ptr<TField> field);
  // Creates a persistent field of the definition's type.
  TField& CreatePersistentField(const TFieldDef& def);

  // ---- filtering --------------------------------------------------------------------------
  const std::string& Filter() const { return filter_text_; }
  void SetFilter(std::string text);
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered);
  const TFilterOptions& FilterOptions() const { return filter_options_; }
  void SetFilterOptions(TFilterOptions options);

  // ---- bookmarks --------------------------------------------------------------------------
  // The current record's bookmark (empty on an empty dataset or an unposted insert).
  TBookmark GetBookmark() const;
  void GotoBookmark(const TBookmark& bookmark);
  void FreeBookmark(TBookmark& bookmark) const { bookmark.Clear(); }
  // -1, 0, 1; an empty bookmark counts as larger than a present one, two empty ones equal.
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;
  virtual bool BookmarkValid(const TBookmark& bookmark);

  // ---- searching --------------------------------------------------------------------------
  // key_fields "A;B"; values: one value, or an array with one value per key field.
  bool Locate(std::string_view key_fields, const core::Variant& values, TLocateOptions options);
  // The result fields' values ("A;B" gives an array) of the record found; Null when none is
  // found or the key value is Null. The current record does not move.
  core::Variant Lookup(std::string_view key_fields, const core::Variant& values,
                       std::string_view result_fields);

  // ---- controls ---------------------------------------------------------------------------
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return disable_count_ != 0; }

  // ---- blobs and text ---------------------------------------------------------------------
  // A stream over the field's bytes in the current record. Write modes need edit or insert
  // state ("Dataset not in edit or insert mode"); written bytes go into the field at once.
  virtual std::unique_ptr<core::TStream> CreateBlobStream(TField& field, TBlobStreamMode mode);
  // Converts text between the table's code page and the program's (to_table: program to
  // table). The default passes text unchanged.
  virtual std::string Translate(std::string_view text, bool to_table) const;
  // True when Translate is known to give back its text unchanged: fields then hand their
  // text on without a copy through it. A descendant that overrides Translate keeps false.
  virtual bool KeepsTextUnchanged() const { return false; }

  // ---- events -----------------------------------------------------------------------------
  TNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TNotifyEvent BeforeDelete, AfterDelete, BeforeRefresh, AfterRefresh;
  TNotifyEvent BeforeScroll, AfterScroll;
  TNotifyEvent OnNewRecord, OnCalcFields;
  std::function<void(TDataSet&, bool& accept)> OnFilterRecord;
  // Called when the operation's hook throws; setting retry to true runs it again, otherwise
  // the error passes on.
  std::function<void(TDataSet&, const core::Exception& error, bool& retry)> OnEditError,
      OnPostError, OnDeleteError;

  // The data source this dataset takes its master record from (master-detail), if any.
  virtual TDataSource* GetDataSource() const { return nullptr; }

  // ---- window access for data links --------------------------------------------------------
  int BufferCount() const { return buffer_count_; }
  int WindowRecordCount() const { return record_count_; }
  int ActiveRecord() const { return active_record_; }

 protected:
  // ---- hooks (see the contract above) -----------------------------------------------------
  virtual void InternalInitFieldDefs() = 0;
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual std::unique_ptr<TRecordBuffer> AllocRecordBuffer() = 0;
  virtual void InternalInitRecord(TRecordBuffer& buffer) = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual TGetResult InternalGetRecord(TRecordBuffer& buffer, TGetMode mode) = 0;
  virtual bool RecordFilter(const TRecordBuffer&) { return true; }
  virtual void InternalSetToRecord(const TRecordBuffer& buffer) = 0;
  virtual TBookmark GetBookmarkData(const TRecordBuffer& buffer) const = 0;
  virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
  virtual int CompareBookmarkData(const TBookmark& a, const TBookmark& b) const = 0;
  virtual bool GetFieldData(const TRecordBuffer& buffer, const TField& field,
                            core::Variant& out) const = 0;
  // The shortcut for a field whose Variant from GetFieldData is a Double or null: the same
  // number without the Variant (0 when null), true. False when the dataset has no shortcut
  // for the field; the caller then goes through GetFieldData.
  virtual bool GetFieldDouble(const TRecordBuffer&, const TField&, double&) const {
    return false;
  }
  virtual void SetFieldData(TRecordBuffer& buffer, const TField& field,
                            const core::Variant& value) = 0;
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  virtual void InternalPost() = 0;
  virtual void InternalCancel() {}
  virtual void InternalDelete() = 0;
  virtual void InternalRefresh() {}
  virtual int GetRecordCount();
  virtual int GetRecNo(const TRecordBuffer&) const { return -1; }
  // Puts the cursor on sequential number rec_no; false when the cursor cannot (the base then
  // moves record by record).
  virtual bool InternalSetRecNo(int) { return false; }
  virtual bool CanModify() const { return true; }
  // Called after Filter or FilterOptions changed, before the dataset refreshes, and on open
  // once the fields exist; a descendant compiles the text here. Throwing refuses a new text
  // (the old one stays); on open a text that does not compile is dropped (Filter becomes
  // empty) and the open goes on.
  virtual void FilterTextChanged() {}
  // Finds the first visible record matching the key; with sync the cursor is left on it
  // (the caller resynchronises), without it the found record is in LookupBuffer(). key_fields
  // is the text the caller gave ("FAMIL;IMJA"), fields the fields it names. The base scans
  // from the first record in the cursor's order; a descendant with an index overrides and
  // falls back to this.
  virtual bool LocateRecord(std::string_view key_fields, const std::vector<TField*>& fields,
                            const core::Variant& values, TLocateOptions options, bool sync);

  // ---- services for descendants -----------------------------------------------------------
  TRecordBuffer& ActiveBuffer() const { return *buffers_[static_cast<size_t>(active_record_)]; }
  // A buffer outside the window for scans (valid while open).
  TRecordBuffer& LookupBuffer() const { return *lookup_buffer_; }
  // Runs the record through the visibility rules (descendant, then OnFilterRecord).
  bool RecordVisible(TRecordBuffer& buffer);
  // Reads with the visibility loop and computes calculated fields.
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode);
  // For a descendant's destructor: drops a pending edit and closes the cursor without
  // events (their handlers often capture objects already gone); the sources hear that the
  // dataset is gone from ~TDataSet.
  void CloseOnDestroy() noexcept;
  // The cursor no longer matches any buffer (it was moved by the descendant).
  void CursorPosChanged() { current_record_ = -1; }
  // Puts the cursor on the active record.
  void UpdateCursorPos();
  void DataEvent(TDataEvent event, intptr_t info);
  void SetState(TDataSetState state);
  void CheckActive() const;
  void CheckInactive() const;
  // Whether the record values compare as Locate's scan compares them.
  bool MatchesKey(const std::vector<TField*>& fields, const core::Variant& values,
                  TLocateOptions options) const;

 private:
  friend class TField;
  friend class TDataSource;
  friend class TDataLink;
  friend class TFieldBlobStream;

  // Lets fields read a buffer outside the window (filter tests, calculation, scans) for
  // the life of the scope, without notifying anyone.
  class TempState {
   public:
    TempState(TDataSet& dataset, TDataSetState state, TRecordBuffer* buffer)
        : dataset_(dataset), state_(dataset.state_), buffer_(dataset.temp_buffer_) {
      dataset.state_ = state;
      dataset.temp_buffer_ = buffer;
    }
    ~TempState() {
      dataset_.state_ = state_;
      dataset_.temp_buffer_ = buffer_;
    }
    TempState(const TempState&) = delete;
    TempState& operator=(const TempState&) = delete;

   private:
    TDataSet& dataset_;
    TDataSetState state_;
    TRecordBuffer* buffer_;
  };

  // The buffer fields read now: active, calculated, tested; nullptr when no record.
  const TRecordBuffer* FieldBuffer() const;
  TRecordBuffer* FieldBuffer();
  bool ReadField(const TField& field, core::Variant& out) const;
  bool ReadFieldDouble(const TField& field, double& out) const;
  void WriteField(TField& field, const core::Variant& value);

  void OpenCursor();
  void CloseCursor();
  void CreateOrBindFields();
  void AllocateBuffers(int count);
  void SetBufferCount(int count);
  void UpdateBufferCount();
  void SetCurrentRecord(int index);
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void MoveBuffer(int from, int to);
  void ActivateBuffers();
  void ClearBuffers();
  void ComputeCalcFields(TRecordBuffer& buffer);
  void InitRecord(TRecordBuffer& buffer);
  void BeginInsertAppend();
  void EndInsertAppend();
  void CheckRequiredFields();
  void CheckCanModify() const;
  // Runs op; on failure asks the error event whether to retry.
  template <typename Op>
  void CheckOperation(Op op, const std::function<void(TDataSet&, const core::Exception&,
                                                      bool&)>& on_error);
  void Fire(const TNotifyEvent& event) { if (event) event(*this); }
  void FilterChanged();
  void AddDataSource(TDataSource* source);
  void RemoveDataSource(TDataSource* source);
  void SetLinkActiveRecord(int index) { active_record_ = index; }

  TDataSetState state_ = TDataSetState::dsInactive;
  TFieldDefs field_defs_;
  // Set while FieldDefs() of a closed dataset runs InternalInitFieldDefs: a fill routine
  // that asks FieldDefs() again gets the list being filled instead of starting over.
  bool filling_field_defs_ = false;
  TFields fields_;
  bool default_fields_ = false;
  int calc_field_count_ = 0;

  // Window: buffer_count_ + 1 buffers (the last is the spare one).
  std::vector<std::unique_ptr<TRecordBuffer>> buffers_;
  std::unique_ptr<TRecordBuffer> lookup_buffer_;
  int buffer_count_ = 0;
  int record_count_ = 0;
  int active_record_ = 0;
  int current_record_ = -1;
  bool bof_ = true;
  bool eof_ = true;
  bool modified_ = false;

  // Buffer read by fields during OnCalcFields / OnFilterRecord / scans.
  TRecordBuffer* temp_buffer_ = nullptr;

  std::string filter_text_;
  bool filtered_ = false;
  TFilterOptions filter_options_;

  TNotifyList<TDataSource> data_sources_;
  int disable_count_ = 0;
  TDataSetState disable_state_ = TDataSetState::dsInactive;
};

}  // namespace lgoty::data
