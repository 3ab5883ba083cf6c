// TfrxEngine: turns a report and its data sets into prepared pages.
//
// The engine walks the report pages, prints each band as often as its role and its data
// require, lets text objects grow with their content, breaks pages and columns, prints
// headers and footers at the right moments, counts rows and pages and feeds the
// aggregates. It draws nothing: every placed band goes to the prepared-pages store
// (EngineOutput), which copies it.
//
// Coordinates are report pixels (96 per inch) from the top-left corner of the printable
// area; the printable area is (paper − margins) × 3.77953 pixels.
//
// A run (Run):
//   1. build the band trees of every report page, one of its horizontal bands and one of
//      its vertical ones (errors stop the run before any page); vertical bands are not
//      placed on pages;
//   2. start the report's data sets, run OnStartReport, show the dialog pages (a cancel
//      ends the run with no pages and no error);
//   3. build the pages: once per record of the report's data set (or once); each visible
//      report page once per record of its data set or PageCount times;
//   4. with DoublePass, build them again knowing TotalPages;
//   5. finally (also after an error) run OnStopReport and finish the data sets.
// Every loop checks the report's terminated flag (StopReport, a cancelled progress).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "core/object.h"
#include "report/band_tree.h"
#include "report/prepared_outline.h"
#include "report/shift_lists.h"

namespace lgoty::core {
class ClassInfo;
}

namespace lgoty::report {

class TfrxReport;
class TfrxReportPage;
class TfrxBand;
class TfrxView;
class TfrxComponent;
class TfrxReportComponent;
class TfrxCustomMemoView;
class TfrxSubreport;
class EngineOutput;

// The script-visible side of the engine (Engine.NewPage, Engine.ShowBand ...).
class TfrxCustomEngine : public core::TObject {
 public:
  ~TfrxCustomEngine() override = default;
  // A script reaches the engine as the object Engine of this class (report/engine_script.h).
  const char* ClassName() const override { return "TfrxCustomEngine"; }
  virtual void ShowBand(TfrxBand* band) = 0;
  virtual void NewPage() = 0;
  virtual void NewColumn() = 0;
  // Pixels left above the footers on the current page; 1000000 with EndlessHeight.
  virtual double FreeSpace() const = 0;
  virtual void StopReport() = 0;
  virtual void AddAnchor(const std::string& text) = 0;
  virtual int GetAnchorPage(const std::string& text) = 0;

  double CurX() const { return cur_x_; }
  double CurY() const { return cur_y_; }
  void SetCurY(double y) { cur_y_ = y; }
  double PageWidth() const { return page_width_; }
  double PageHeight() const { return page_height_; }
  int CurColumn() const { return cur_column_; }
  int TotalPages() const { return total_pages_; }
  bool FinalPass() const { return final_pass_; }
  bool Running() const { return running_; }
  TfrxBand* CurBand() const { return cur_band_; }

 protected:
  double cur_x_ = 0, cur_y_ = 0;
  double page_width_ = 0, page_height_ = 0;
  int cur_column_ = 1;
  int total_pages_ = 0;
  bool final_pass_ = true;
  bool running_ = false;
  TfrxBand* cur_band_ = nullptr;
};

class TfrxEngine final : public TfrxCustomEngine {
 public:
  // Both must outlive the engine.
  TfrxEngine(TfrxReport& report, EngineOutput& output);
  ~TfrxEngine() override;

  // The whole build; with a page given, only that page. True on success; false when the
  // band trees had errors (they are in the report's error list) or a dialog was cancelled.
  // Exceptions of scripts and expressions pass to the caller after OnStopReport ran and
  // the data sets were finished.
  bool Run(TfrxReportPage* only_page = nullptr);

  void ShowBand(TfrxBand* band) override;
  void NewPage() override;
  void NewColumn() override;
  double FreeSpace() const override;
  void StopReport() override;
  void AddAnchor(const std::string& text) override;
  int GetAnchorPage(const std::string& text) override;

  bool Terminated() const;
  bool CancelledByDialog() const { return dialogs_cancelled_; }

 private:
  struct HeaderEntry {
    TfrxBand* band;
    double x;
    int line, line_through;
  };
  struct PageContext {
    TfrxReportPage* page = nullptr;
    BandTree tree;
    // The bands with Vertical on, a tree of their own that the horizontal walk ignores.
    BandTree vertical_tree;
    // The data band nodes of both trees.
    std::vector<DataBandNode*> AllNodes() const {
      std::vector<DataBandNode*> all;
      for (const BandTree* t : {&tree, &vertical_tree}) {
        for (const auto& node : t->nodes) all.push_back(node.get());
      }
      return all;
    }
    // Shown by a sub-report: built where the sub-report stands, never as a page.
    bool is_subreport = false;
  };

  // band_engine.cpp: the run, passes and page instances.
  void Initialize(TfrxReportPage* only_page);
  void RunReportPages(TfrxReportPage* only_page);
  void RunPage(PageContext& context);
  void BuildPageInstance(PageContext& context);
  bool PageHasRows(PageContext& context);
  void PrintPageObjects(TfrxReportPage& page);
  void RunManualBuild(PageContext& context);
  void CheckTerminatedByHost();

  // page_breaks.cpp: adding, ending and breaking pages and columns; keeping.
  void AddPage();
  void EndPage();
  void NewPageImpl(bool from_column);
  void PrintHeaderList(bool for_column);
  double FooterHeight() const;
  double PageBodyHeight() const;
  void AddHeader(TfrxBand* band);
  void RemoveHeader(TfrxBand* band);
  bool StartKeep(TfrxBand* band);
  void EndKeep(TfrxBand* band);
  // True when the kept output was moved to a new page (the break is done).
  bool MoveKeptOutput();
  void ReportProgress();

  // band_printing.cpp: preparing, measuring and printing one band.
  void ShowBandImpl(TfrxBand* band);
  void PrepareBand(TfrxBand& band);
  void StretchBand(TfrxBand& band);
  void PlaceBand(TfrxBand& band);
  void FinishBand(TfrxBand& band);
  void ShowSplit(TfrxBand& band);
  ShiftLists& ShiftListsOf(TfrxBand& band);
  // The objects of a band (AllObjects) with their report-component, view and memo sides,
  // found once and kept while the band holds the same objects of the same classes.
  struct BandObjects {
    std::vector<TfrxComponent*> all;
    std::vector<const core::ClassInfo*> classes;  // of all: a freed object's place reused
    std::vector<TfrxReportComponent*> components;  // the report components of all, in order
    std::vector<TfrxView*> views;                  // per component: its view side or null
    std::vector<TfrxCustomMemoView*> memos;        // per component: its memo side or null
    std::vector<TfrxSubreport*> subreports;        // of all, in order
  };
  std::shared_ptr<const BandObjects> ObjectsOf(TfrxBand& band);
  double NeededHeight(TfrxView& view);

  // data_walk.cpp: data bands, groups, headers and footers.
  void WalkBands(const std::vector<DataBandNode*>& nodes);
  void WalkBand(DataBandNode& node);
  // Adds the outline entry of a band just shown when it has an OutlineText; true when one
  // was added (the caller goes back up a level when the band's part ends).
  bool AddOutlineEntry(const TfrxBand& band);
  bool RowPrintable(DataBandNode& node);
  bool HasPrintableRow(DataBandNode& node);
  void ShowGroupHeaders(DataBandNode& node, size_t from, bool first_row);
  void ShowGroupFooters(DataBandNode& node, size_t down_to);
  void ShowDataRow(DataBandNode& node);
  void ShowNodeFooter(DataBandNode& node);
  void SetLines(int line, int line_through);
  DataBandNode* OwnerNode(const TfrxBand* band) const;

  // subreport_printing.cpp: sub-reports placed on printed bands.
  struct PlacedSubreport {
    TfrxSubreport* subreport;
    double x, y;  // where its first band goes, on the page the band was printed on
  };
  // Checks the sub-reports of every page (a page, not their own, no cycle) and marks the
  // pages they show; error lines go to the report.
  void CheckSubreports();
  PageContext* ContextOf(const TfrxReportPage* page) const;
  // Remembers where the visible sub-reports of a band just placed stand (before the band's
  // objects get their designer places back).
  void CollectSubreports(TfrxBand& band, const BandObjects& objects);
  // Builds the sub-reports remembered for the band just printed; CurY ends below the
  // lowest of them when that is lower than the band. Takes back what PrintOnParent
  // sub-reports lent the band.
  void BuildSubreports(TfrxBand& band);
  void BuildSubreportBands(PageContext& context);
  // subreport_on_parent.cpp: PrintOnParent sub-reports of a band being prepared are built
  // into a strip by an engine of their own, and the strip's objects are lent to the band
  // at the sub-report's place; the sub-report grows to hold them and the band with it.
  void PlaceSubreportsOnParent(TfrxBand& band, const BandObjects& objects);
  // Takes every lent object back (a run that failed while a band held some).
  void ReturnLentObjects();

  // Events named by a property: the script procedure gets the sender.
  void FireEvent(const std::string& handler, TfrxComponent* sender);

  TfrxReport& report_;
  EngineOutput& output_;
  std::vector<std::unique_ptr<PageContext>> contexts_;
  PageContext* context_ = nullptr;  // the page being built
  TfrxReportPage* page_ = nullptr;
  std::map<TfrxBand*, ShiftLists> shift_lists_;
  std::vector<double> growth_;  // StretchBand's growth per view
  // A band's objects as last found, and the count of tree changes (ComponentTreeChanges)
  // they were last checked at: while it stands, they need no walk of the band.
  struct KnownBandObjects {
    std::shared_ptr<const BandObjects> objects;
    uint64_t checked_at = 0;
  };
  std::map<TfrxBand*, KnownBandObjects> band_objects_;
  // What printing changes on a band and its objects (places, sizes, visibility), saved
  // when the band is prepared and put back once it is printed.
  struct SavedBounds {
    TfrxComponent* object;
    double left, top, width, height;
    bool visible;
  };
  // Entries stay when the band is done (inactive), so that printing a band again refills
  // the same list instead of allocating a new one on every row.
  struct SavedBandBounds {
    bool active = false;
    std::vector<SavedBounds> bounds;
  };
  static constexpr size_t kMaxSavedBandBounds = 1024;  // inactive entries go past this many
  std::map<TfrxBand*, SavedBandBounds> saved_bounds_;

  std::vector<PlacedSubreport> pending_subreports_;
  // Objects lent to a band by its PrintOnParent sub-reports until the band is printed.
  struct LentObject {
    TfrxBand* band;
    TfrxComponent* object;
  };
  std::vector<LentObject> lent_objects_;
  // The engine that owns the page contexts (an engine building a strip asks its parent).
  const TfrxEngine* root_ = this;

  std::vector<HeaderEntry> header_list_;
  double page_cur_x_ = 0;
  double first_column_y_ = 0;
  int cur_line_ = 0, cur_line_through_ = 0;
  bool is_first_page_ = false, is_last_page_ = false;
  bool ending_last_page_ = false;
  bool adding_page_ = false;
  bool dialogs_cancelled_ = false;
  double data_start_y_ = 0;  // CurY once the headers of the current page/column are out
  TfrxBand* start_new_page_band_ = nullptr;
  TfrxBand* last_band_on_page_ = nullptr;
  // A data band or group header on its first row (StartNewPage does not break there).
  TfrxBand* first_row_band_ = nullptr;

  // Keeping.
  TfrxBand* keep_band_ = nullptr;
  double keep_y_ = 0;
  double keep_page_x_ = 0;  // PageCurX when keeping began: where moved output is pasted
  int keep_position_ = 0;
  int keep_anchor_count_ = 0;
  TfrxOutline::Mark keep_outline_;
  // Where the band shown last was placed on its page (outline entries point there).
  double last_shown_top_ = 0;
  bool keeping_header_ = false;
};

}  // namespace lgoty::report
