// TfrxPreviewPages: the prepared pages of a report, the output of a run of the band engine
// and what the preview draws, prints and saves as a prepared report (.fp3).
//
// The store keeps one XML tree whose root is "preparedreport":
//   previewpages         one child per output page, in page order
//   sourcepages          the source pages, written completely (saved files only)
//   dictionary           one child per alias: <m1 name="Page0.Memo1"/> (saved files only)
//   outline              the table of contents (report/prepared_outline.h)
//   anchors              <item text="..." page="0" top="120"/> per hyperlink anchor
//   logicalpagenumbers   <page n="3" t="7"/> per output page: number within the group that
//                        restarts numbering, and the group's page count once known
//   picturecache         the pictures (report/picture_cache.h; saved files only)
//   report               <TfrxReport DotMatrixReport=".." PreviewOptions.OutlineVisible=".."
//                        PreviewOptions.OutlineWidth=".." ReportOptions.Name=".."/>
//   cutted               objects held by CutObjects until PasteObjects
//
// Source pages are copies of the template's report pages made when a run starts. Each
// copied object gets an alias (report/prepared_dictionary.h), and the template object is
// linked to its copy. An output page is stored as the item "page" + N (N = its source
// page) whose children are the objects placed on it: an object with a copy in the source
// pages is stored under its alias with only the properties that differ from the copy (the
// position and size in the short attributes l, t, w, h); any other object under its class
// name with every property that differs from the class defaults. A page edited in the
// preview is stored completely, as an item named by its class ("TfrxReportPage").
//
// Rebuilding: Page(i) turns the item back into a page object tree, starting every aliased
// object from its source copy's full property text and applying the stored differences.
// At most PreviewOptions.PagesInCache pages stay built (most recently used first).
//
// File cache (EngineOptions.UseFileCache): once more than EngineOptions.MaxMemSize MB of
// XML have been added since the last flush, the finished pages (from the third one on)
// are written to a temporary file and dropped from memory; they are read back when asked
// for, and written out again when they leave the page cache. The temporary file lives in
// EngineOptions.TempDir (or the system's temporary folder) and is deleted by Clear, a load
// and the store's destruction.
//
// A run: Clear (unless appending) -> Initialize -> AddSourcePage per report page ->
// BeginPass -> AddPage / AddObject ... -> (double pass: ClearFirstPassPages, second pass
// over the same pages) -> Finish. The engine tells the store about itself through
// PreparedPagesEngine.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/rtti.h"
#include "core/stream.h"
#include "core/xml_document.h"
#include "report/picture_cache.h"
#include "report/prepared_dictionary.h"
#include "report/prepared_outline.h"

namespace lgoty::report {

class ComponentLink;
class PreparedObjectRecycler;
class PreparedPagesListener;
class ReferenceProperties;
class TfrxBand;
class TfrxComponent;
class TfrxPictureView;
class TfrxReport;
class TfrxReportPage;
class TfrxXMLSerializer;
namespace prepared_detail {
class DifferenceWriter;
}

// What the store asks of the engine that fills it.
class PreparedPagesEngine {
 public:
  virtual ~PreparedPagesEngine() = default;
  // True while a run builds pages: Page() then rebuilds without using the page cache.
  virtual bool Running() const = 0;
  // True on the last pass: the second pass of a double-pass run, or the only pass.
  virtual bool FinalPass() const = 0;
  // The engine's current Y on the page, in pixels (where an anchor points).
  virtual double CurY() const = 0;
  // The total page count known to the engine (from the first pass of a double pass).
  virtual int TotalPages() const = 0;
  // A new output page was started; page_number is 1-based. For progress display.
  virtual void PageAdded(int page_number) { (void)page_number; }
};

enum class TfrxAddPageAction { apWriteOver, apAdd };

struct TfrxPageSize {
  int width = 0;   // pixels, rounded
  int height = 0;
};

class TfrxPreviewPages {
 public:
  // The store belongs to report, which must outlive it; its options (EngineOptions,
  // PreviewOptions) are read when they are needed.
  explicit TfrxPreviewPages(TfrxReport* report);
  ~TfrxPreviewPages();
  TfrxPreviewPages(const TfrxPreviewPages&) = delete;
  TfrxPreviewPages& operator=(const TfrxPreviewPages&) = delete;

  // The engine that is filling the store; nullptr (the default) when none is running.
  // REQUIRES engine outlives its registration.
  void SetEngine(PreparedPagesEngine* engine) { engine_ = engine; }
  // The reader told about the pages as they are built and changed
  // (report/prepared_pages_listener.h); nullptr (the default) for none.
  void SetListener(PreparedPagesListener* listener) { listener_ = listener; }
  PreparedPagesListener* Listener() const { return listener_; }

  // ---- building (the band engine) ------------------------------------------------------

  // Drops all pages, source pages, the dictionary, the picture and page caches and the
  // temporary file; current page -1, counters 0.
  void Clear();
  // Takes the picture cache placement (PreviewOptions.PictureCacheInFile) and the
  // temporary folder (EngineOptions.TempDir) from the report.
  void Initialize();
  // Copies a template page into a new source page; every copied object gets an alias and
  // is linked with its template object. Called for every report page before the first
  // pass. Objects not printable in preview get no copy.
  void AddSourcePage(TfrxReportPage* page);
  // For an object the run created (it has no copy): copies it into the last source page
  // and links it, so that its later placements are stored as differences.
  void AddToSourcePage(TfrxComponent* object);
  // Remembers where the pass begins (the last page, its object count, the outline's
  // count) and resets the logical page counter.
  void BeginPass();
  // Moves to the next page; appends a new one built from page (a template page given to
  // AddSourcePage) unless the page exists already and AddPageAction is apWriteOver.
  void AddPage(TfrxReportPage* page);
  // Appends the object and its children (visible and printable in preview) to the current
  // page. REQUIRES a current page.
  void AddObject(TfrxComponent* object);
  // The source copy whose differences the object's placements store; nullptr when none.
  const TfrxComponent* SourceCopy(const TfrxComponent* object) const { return SourceOf(object); }
  // Stores the view's picture in the picture cache and sets its ImageIndex (1-based; 0
  // when the view has no picture).
  void AddPicture(TfrxPictureView* picture);
  // An anchor on the current page at the engine's current Y, or at top.
  void AddAnchor(std::string_view text);
  void AddAnchor(std::string_view text, double top);
  // The 1-based page of the last anchor with that text (letter case ignored); 1 when none.
  int GetAnchorPage(std::string_view text) const;
  // Moves every anchor after index from one page down and by new_top minus the top of the
  // first moved anchor.
  void ShiftAnchors(int from, int new_top);
  int AnchorCount() const;
  // True when an object on the current page comes from band (or both are page footers, or
  // both column footers).
  bool BandExists(const TfrxBand* band);
  // The lowest bottom of the bands on the current page (page footers and overlays left
  // out; with column_position != 0 only bands at that left, plus page headers and report
  // titles); the last stored Y when that is 0.
  double GetLastY(double column_position = 0);
  // Moves the current page's objects from index from on aside ...
  void CutObjects(int from);
  // ... and back at (x, y): the first held object lands there, the others keep their
  // distance to it.
  void PasteObjects(double x, double y);
  void IncLogicalPageNumber();
  void ResetLogicalPageNumber();
  // The current page's object count.
  int GetCurPosition();
  // Empties the page cache and unlinks the source pages from the template.
  void Finish();
  // Removes what the pass that began with BeginPass added (see the .cpp).
  void ClearFirstPassPages();

  TfrxAddPageAction add_page_action = TfrxAddPageAction::apWriteOver;
  int CurPage() const { return cur_page_; }
  // REQUIRES -1 <= page < Count().
  void SetCurPage(int page);
  int FirstPage() const { return first_page_; }
  TfrxOutline& Outline() { return outline_; }
  TfrxDictionary& Dictionary() { return dictionary_; }
  TfrxPictureCache& PictureCache() { return picture_cache_; }
  int SourcePageCount() const { return static_cast<int>(source_pages_.size()); }
  // REQUIRES 0 <= index < SourcePageCount().
  TfrxReportPage* SourcePage(int index) const;
  // The alias of a template object (or a source copy); empty when it has none.
  std::string AliasOf(const TfrxComponent* object) const;

  // ---- reading (the preview, printing, export) -----------------------------------------

  int Count();
  // The page tree of output page index, owned by the store. Valid until the next call of
  // Page, an editing operation, Clear or a load. REQUIRES 0 <= index < Count().
  TfrxReportPage* Page(int index);
  // Width and height in pixels; (0, 0) for an index out of range.
  TfrxPageSize PageSize(int index);
  // The current page's number within its group, and the group's page count.
  int GetLogicalPageNo();
  int GetLogicalTotalPages();
  // Inserts an empty page item at index, named like the page there.
  void AddEmptyPage(int index);
  // Removes page index unless it is the only page.
  void DeletePage(int index);
  // Stores page completely in place of page index.
  void ModifyPage(int index, const TfrxReportPage& page);

  void SaveToStream(core::TStream& stream);
  void SaveToFile(const std::string& path);
  // Replaces everything with a prepared report. With allow_partial the page items stay on
  // disk (in a temporary copy) until asked for. Malformed XML throws
  // core::TfrxInvalidXMLException with the store left empty.
  void LoadFromStream(core::TStream& stream, bool allow_partial = false);
  // False (and nothing loaded) when the file does not exist and raise_if_missing is not
  // set; other failures throw (platform::EFileError, core::TfrxInvalidXMLException).
  bool LoadFromFile(const std::string& path, bool raise_if_missing = false,
                    bool allow_partial = false);

  // ---- inspection ----------------------------------------------------------------------

  // The XML tree (tests and tools look at page items through it).
  core::TfrxXMLDocument& Document() { return *document_; }
  // The "previewpages" item of page index (swapped in when it was unloaded).
  core::TfrxXMLItem* PageItem(int index);
  // Bytes the store holds in memory: the XML tree, the built pages in the cache, the
  // source pages and in-memory pictures (estimates of object sizes, exact string sizes).
  size_t HeldBytes();
  // Pages currently built in the page cache.
  int CachedPageCount() const { return static_cast<int>(page_cache_.size()); }

 private:
  struct SourceEntry {
    std::unique_ptr<TfrxReportPage> page;
    TfrxReportPage* template_page = nullptr;  // borrowed; cleared by Finish
  };
  struct SourceInfo {
    std::string alias;
    std::string reference_text;  // class name + attributes of the source copy
    int source_page = 0;
    // reference_text compiled on the first rebuild that needs it.
    mutable std::shared_ptr<ReferenceProperties> compiled;
    // Writes the differences of the copy's placed objects; made on the first placement.
    mutable std::shared_ptr<prepared_detail::DifferenceWriter> differences;
  };
  struct CachedPage {
    int index;
    std::unique_ptr<TfrxReportPage> page;
  };

  core::TfrxXMLItem* Root();
  core::TfrxXMLItem* Section(std::string_view name);
  // Section(kPreviewPages), asked for every page read and count: found by remembered names.
  core::TfrxXMLItem* PagesItem();
  core::TfrxXMLItem* CurrentPageItem();
  bool DoublePassFirstPass() const;
  bool DoublePassFinalPass() const;
  // The class an object item stands for (its source's class for an alias).
  const core::ClassInfo* ItemClass(const core::TfrxXMLItem* item) const;
  // An object item's l, t, w or h: its own attribute, else its source object's value.
  double ItemCoordinate(const core::TfrxXMLItem* item, char which) const;
  bool EngineRunning() const { return engine_ && engine_->Running(); }

  void LinkSource(TfrxComponent* template_object, TfrxComponent* copy, int source_page_index);
  // The source copy a template (or run-time) object is linked with; nullptr when none.
  TfrxComponent* SourceOf(const TfrxComponent* object) const;
  const SourceInfo* InfoOf(const TfrxComponent* source_copy) const;
  // What an object item stored under an alias stands for, looked up under sources_mutex_:
  // the source copy (nullptr for an item of no alias), its entry and its compiled
  // reference (nullptr until a rebuild compiled it).
  struct ItemSource {
    const TfrxComponent* object = nullptr;
    const SourceInfo* info = nullptr;
    const ReferenceProperties* compiled = nullptr;
  };
  ItemSource FindItemSource(std::string_view alias) const;
  // The entry's compiled reference, compiled (under sources_mutex_) by the first rebuild
  // that needs it.
  const ReferenceProperties& CompiledReference(const SourceInfo& info, const core::ClassInfo* cls,
                                               TfrxXMLSerializer& serializer) const;
  // A picture of the picture cache, read under sources_mutex_.
  std::string CachedPicture(int index) const;
  // depth: 0 for the object placed on the page, 1 for its children, ...
  void AddObjectItem(TfrxComponent* object, core::TfrxXMLItem* parent, bool source_page,
                     bool first_pass, int depth);
  std::string DiffText(TfrxComponent* object, TfrxComponent* source);
  int SourcePageIndexOfItem(const core::TfrxXMLItem* item) const;
  // With a recycler, memos are taken from it where it has some and noted for it.
  std::unique_ptr<TfrxReportPage> BuildPage(core::TfrxXMLItem* item,
                                            PreparedObjectRecycler* recycler = nullptr);
  void BuildObjects(core::TfrxXMLItem* item, TfrxComponent* parent, TfrxComponent* root,
                    TfrxXMLSerializer& serializer, PreparedObjectRecycler* recycler);
  // Page items go to the temporary file when they leave the page cache.
  bool SwapsPages() const;
  void UnloadBeforeLast();
  void ClearPageCache();
  void EvictPageCache();
  // After a page was built from its item: the item goes back to the temporary file when
  // items are swapped and the page is not in the page cache.
  void ReleasePageItem(int index);
  friend class TfrxPageSequence;
  friend class TfrxPageFeed;
  void RebuildReportItem();
  void ApplyReportItem();
  void LoadSourcePages();
  void LoadDictionary();
  void ResetCounters();

  TfrxReport* report_;
  PreparedPagesEngine* engine_ = nullptr;
  PreparedPagesListener* listener_ = nullptr;
  std::unique_ptr<core::TfrxXMLDocument> document_;
  std::unique_ptr<TfrxXMLSerializer> serializer_;
  std::vector<SourceEntry> source_pages_;
  // Template (or run-time) object -> its source copy, watched so that a freed object's
  // entry is never taken for another object at the same address.
  struct SourceLink;
  std::unordered_map<const TfrxComponent*, std::unique_ptr<SourceLink>> links_;
  std::unordered_map<const TfrxComponent*, SourceInfo> source_info_;  // by source copy
  TfrxDictionary dictionary_;
  TfrxPictureCache picture_cache_;
  // A page may be rebuilt on another thread while the run goes on filling the store
  // (TfrxPageFeed): the rebuild reads the dictionary, source_info_ (and fills its compiled
  // references), the source page list and the picture cache, which the run's thread adds
  // to. Both sides take this lock around exactly those reads and writes (the run's thread
  // not around its own reads). The page item a rebuild reads is the reader's: the run
  // announces any change to a complete page (PagesChanging) and the feed then waits for a
  // rebuild in progress; page items are never swapped to the temporary file meanwhile
  // (the feed rebuilds on the run's thread when they may be).
  mutable std::mutex sources_mutex_;
  // What PagesItem found last; the reader's thread asks too, hence the lock.
  std::mutex pages_found_mutex_;
  core::TfrxFoundChild pages_found_;
  TfrxOutline outline_;
  std::list<CachedPage> page_cache_;  // most recently used first

  int cur_page_ = -1;
  int first_page_ = -1;
  int first_object_count_ = 0;
  int first_outline_count_ = 0;
  int logical_page_no_ = 0;
  int64_t added_bytes_ = 0;
  double last_y_ = 0;
};

}  // namespace lgoty::report
