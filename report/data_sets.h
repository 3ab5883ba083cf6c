// Report data sets: the sources of rows that bands walk and expressions name.
//
//   TfrxDataSet          the abstract data set: a user-visible name, a cursor counted by
//                        RecNo, range rules and per-field access (Value, DisplayText, ...);
//     TfrxUserDataSet    rows and values supplied by host callbacks (also a data band's own
//                        row counter);
//     TfrxCustomDBDataSet  field aliases and the field-name list;
//       TfrxDBDataset    the adapter over one platform dataset (data::TDataSet: a TDbf, a
//                        TAdoQuery, a memory dataset ...).
// The owning table and query data sets and the ADO family build on these
// (report/query_data_sets.h).
//
// Run contract (the band engine): set the report reference and call StartRun on every
// data set the report lists, run the dialogs, then First and Eof/Next (Prior only to step
// back over a group change), and FinishRun on every listed data set whatever happened.
// StartRun opens nothing: the adapter opens its dataset at the first row access, so text a
// dialog handler gives a query before that is what runs.
//
// Every data set registers itself on creation in the process-wide TfrxGlobalDataSetList
// (one mutex guards add, remove and search) and leaves it on destruction; bands and
// expressions find data sets by UserName through frxFindDataSet.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "core/string_list.h"
#include "core/variant.h"
#include "data/bookmark.h"
#include "report/dialog_controls.h"
#include "report/field_slot.h"

namespace lgoty::data {
class TDataSet;
class TDataSource;
class TField;
}  // namespace lgoty::data

namespace lgoty::report {

class TfrxReport;

// The kind of a field as expressions and display formats see it.
enum class TfrxFieldType { fftNumeric, fftString, fftBoolean, fftDate };


class TfrxDataSet : public TfrxDialogComponent {
  LGOTY_REPORT_CLASS(TfrxDataSet)
 public:
  TfrxDataSet();
  ~TfrxDataSet() override;

  // The name under which expressions and bands refer to the data set; the component name
  // when empty.
  std::string UserName() const { return user_name_.empty() ? Name() : user_name_; }
  // A text that is empty after trimming raises core::Exception with the resource text
  // of prInvProp; the old name stays.
  virtual void SetUserName(std::string name);
  // A rename takes UserName along when it was empty or equal to the old name.
  void NameChanged(const std::string& old_name, const std::string& new_name) override;

  // The report whose run uses the data set: the one set by the run, else the report whose
  // tree holds it; nullptr for a free data set. Errors found while reading values go to
  // this report's error list. Cleared when that report is destroyed.
  TfrxReport* ReportRef() const;
  void SetReportRef(TfrxReport* report);

  // ---- operations (names as scripts see them) -------------------------------------------
  virtual std::string DisplayText(const std::string& field);
  virtual int DisplayWidth(const std::string& field);
  virtual TfrxFieldType FieldType(const std::string& field);
  virtual core::Variant Value(const std::string& field);
  // Value(field) written into out (whatever it held: a text may go into its storage), for
  // a caller that always passes the same field name with the same slot.
  virtual void SlotValue(const std::string& field, TfrxFieldSlot& slot, core::Variant& out);
  // Once per report run before its dialogs / once at its end, also after failure or cancel.
  virtual void StartRun() {}
  virtual void FinishRun() {}
  virtual void Open();
  virtual void Close();
  virtual void First();
  virtual void Next();
  virtual void Prior();
  virtual bool Eof();
  virtual int FieldsCount() { return 0; }
  // GetFieldList, then a case-insensitive search.
  virtual bool HasField(const std::string& name);
  virtual bool IsBlobField(const std::string& name);
  virtual int RecordCount();
  // target: a core::TStringList (the blob's text as lines) or a core::TStream (the bytes,
  // rewound to 0). Anything else is left alone.
  virtual void CopyBlobTo(const std::string& field, core::TObject* target);
  // Clears the list, then adds the field names in their order.
  virtual void GetFieldList(core::TStringList& list);
  // Zero-based number of the current row, counted by the data set itself.
  int RecNo() const { return rec_no_; }

  // Changes whenever a data set of the process is made, destroyed or renamed (Name or
  // UserName): a caller that found a data set by name may keep it while this stays the same
  // and the list it searched holds the same data sets.
  static uint64_t NamesGeneration() { return names_generation_.load(std::memory_order_acquire); }

  // Published state.
  bool enabled = true;
  TfrxRangeBegin range_begin = TfrxRangeBegin::rbFirst;
  TfrxRangeEnd range_end = TfrxRangeEnd::reLast;
  int range_end_count = 0;

  // Host callbacks.
  std::function<void(TfrxDataSet& sender, bool& eof)> OnCheckEOF;
  std::function<void(TfrxDataSet& sender)> OnFirst, OnNext, OnPrior, OnOpen, OnClose;

 protected:
  // Appends "<object>: Поле не найдено: <UserName>."<field>"" to the report's error list,
  // the object being the one the report is evaluating now.
  void ReportFieldNotFound(const std::string& field);

  int rec_no_ = 0;
  bool eof_ = false;

 private:
  static void NamesChanged() { names_generation_.fetch_add(1, std::memory_order_acq_rel); }
  static inline std::atomic<uint64_t> names_generation_{1};

  std::string user_name_;
  Link<TfrxReport> report_ref_;
};

// The registry of every live data set of the process, in creation order.
class TfrxGlobalDataSetList {
 public:
  static TfrxGlobalDataSetList& Instance();
  void Add(TfrxDataSet* data_set);
  void Remove(TfrxDataSet* data_set);
  // A copy taken under the lock.
  std::vector<TfrxDataSet*> Items() const;
  // See frxFindDataSet.
  TfrxDataSet* Find(std::string_view name, const TfrxReport* report) const;

 private:
  mutable std::mutex mutex_;
  std::vector<TfrxDataSet*> items_;
};

// The data set an owner means by name. Without an owner, `current` comes back unchanged;
// an empty name finds nothing. Otherwise the registry is walked in order and the first data
// set whose UserName equals the name (letter case ignored as the user's locale does) is
// returned, skipping data sets that belong to another report than the owner's: two reports
// with a data set of the same name each find their own.
TfrxDataSet* frxFindDataSet(TfrxDataSet* current, std::string_view name,
                            const TfrxComponent* owner);

class TfrxUserDataSet : public TfrxDataSet {
  LGOTY_REPORT_CLASS(TfrxUserDataSet)
 public:
  core::TStringList fields;
  // Called in this order for every value; each may set it (it starts as Null).
  std::function<void(const std::string& field, core::Variant& value)> OnGetValue;
  std::function<void(TfrxUserDataSet& sender, const std::string& field, core::Variant& value)>
      OnNewGetValue;

  int FieldsCount() override { return fields.Count(); }
  void GetFieldList(core::TStringList& list) override;
  core::Variant Value(const std::string& field) override;
  std::string DisplayText(const std::string& field) override;
};

class TfrxCustomDBDataSet : public TfrxDataSet {
  LGOTY_REPORT_CLASS(TfrxCustomDBDataSet)
 public:
  TfrxCustomDBDataSet();

  // "FIELD=Alias" lines; a line whose field part begins with "-" hides that field.
  core::TStringList field_aliases;
  bool close_data_source = false;
  bool open_data_source = true;

  // User-visible name to platform field name: the field part of the first line whose alias
  // part equals the name (letter case ignored); the name itself when none does.
  std::string ConvertAlias(const std::string& alias) const;
  // Platform field name to user-visible name, the other way round.
  std::string GetAlias(const std::string& field_name) const;

  int FieldsCount() override;

 protected:
  // User-visible names, sorted, without duplicates, letter case ignored; each line's object
  // is its platform field once the dataset is open (nullptr when the name has none).
  core::TStringList field_list_;
};

// The adapter over a platform dataset. The dataset is borrowed: DataSet, or the dataset of
// DataSource; either reference is cleared when its target is destroyed. During a run (from
// StartRun to FinishRun) the adapter replaces the dataset's AfterOpen and BeforeClose
// handlers with its own, which call the replaced ones, and puts the replaced ones back at
// FinishRun (or when the adapter is destroyed first).
class TfrxDBDataset : public TfrxCustomDBDataSet {
  LGOTY_REPORT_CLASS(TfrxDBDataset)
 public:
  TfrxDBDataset();
  ~TfrxDBDataset() override;

  data::TDataSet* DataSet() const;
  // Setting one clears the other.
  void SetDataSet(data::TDataSet* dataset);
  data::TDataSource* DataSource() const;
  void SetDataSource(data::TDataSource* source);
  // The effective dataset: DataSet, else the data source's dataset.
  data::TDataSet* GetDataSet() const;

  bool bcd_to_currency = false;

  // Throws core::Exception "Компонент <Name> не подключен к данным" without a dataset.
  void StartRun() override;
  void FinishRun() override;
  void Open() override;
  void Close() override;
  void First() override;
  void Next() override;
  void Prior() override;
  bool Eof() override;
  core::Variant Value(const std::string& field) override;
  void SlotValue(const std::string& field, TfrxFieldSlot& slot, core::Variant& out) override;
  std::string DisplayText(const std::string& field) override;
  int DisplayWidth(const std::string& field) override;
  TfrxFieldType FieldType(const std::string& field) override;
  void GetFieldList(core::TStringList& list) override;
  // As GetFieldList and the search would find it, without building the list.
  bool HasField(const std::string& name) override;
  bool IsBlobField(const std::string& field) override;
  int RecordCount() override;
  void CopyBlobTo(const std::string& field, core::TObject* target) override;

  // Script members.
  void Last();
  // The platform field of a user-visible name (through the aliases); EDatabaseError
  // "Field 'X' not found" when the open dataset has none.
  data::TField& FieldByName(const std::string& field);
  bool IsEmpty();
  bool Locate(const std::string& key_fields, const core::Variant& values, bool case_insensitive,
              bool partial_key);

 private:
  class SourceWatch;
  // Opens the dataset for this run when not yet done (or when it was closed meanwhile).
  void EnsureOpen();
  void AfterOpenHook(data::TDataSet* sender);
  void BeforeCloseHook(data::TDataSet* sender);
  void InstallHooks();
  void RestoreHooks();
  // The platform field of a user-visible name in the field list; nullptr when absent.
  data::TField* FindListField(const std::string& field, bool& listed) const;
  // The value of a field found (or not: listed false) in the field list, written into out.
  void ListedValue(const std::string& field, data::TField* f, bool listed, core::Variant& out);
  // field_list_ was rebuilt or dropped: slots filled before no longer count.
  void FieldListChanged();
  uint64_t fields_generation_;
  // Names asked before -> the index and text of the list line they matched. Only a hint:
  // an entry counts while the list still holds that line's text there, so changes of the
  // list need no upkeep. It spares the locale-aware search of the sorted list for every
  // field of every row.
  mutable std::unordered_map<std::string, std::pair<int, std::string>> field_index_;

  // Watches DataSet (a private source over it) and DataSource (a private link to it).
  std::unique_ptr<data::TDataSource> dataset_watch_;
  std::unique_ptr<SourceWatch> source_watch_;
  data::TBookmark bookmark_;
  // Where the cursor of a dataset that was open before the run stood when the run opened it.
  data::TBookmark host_bookmark_;
  bool initialized_ = false;
  bool hooks_installed_ = false;
  data::TDataSet* hooked_ = nullptr;
  std::function<void(data::TDataSet&)> old_after_open_, old_before_close_;
};

void RegisterDataSetClasses();

}  // namespace lgoty::report

// The owning table and query data sets and the ADO family, for the many places that name
// a template's ADOQuery1 through this header.
#include "report/query_data_sets.h"
