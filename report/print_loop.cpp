#include "report/print_loop.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "report/resources.h"

namespace lgoty::report {

int TileCount(double whole_mm, double part_mm) {
  if (part_mm <= 0 || whole_mm <= 0) return 1;
  // A tile short by less than 11 mm is left out: that strip is what the unprintable borders
  // of the sheets would cut anyway.
  constexpr double kMissAllowed = 11;
  double whole_tiles = std::floor(whole_mm / part_mm);
  int count = whole_mm - whole_tiles * part_mm >= kMissAllowed
                  ? static_cast<int>(whole_tiles) + 1
                  : static_cast<int>(std::lround(whole_mm / part_mm));
  return std::max(count, 1);
}

int FitCount(double whole_mm, double part_mm) {
  if (part_mm <= 0 || whole_mm <= 0) return 1;
  return std::max(static_cast<int>(std::floor(whole_mm / part_mm + 1e-6)), 1);
}

namespace {

class Loop {
 public:
  Loop(PrintPageSource& source, TfrxCustomPrinter& printer, const PrintLoopSettings& settings,
       PrintProgress& progress)
      : source_(source), printer_(printer), settings_(settings), progress_(progress) {
    copies_ = std::max(settings.copies, 1);
    count_ = source.Count();
  }

  PrintLoopResult Run() {
    try {
      bool finished = settings_.mode == TfrxPrintMode::pmJoin ? RunJoin() : RunPasses();
      if (!finished) {
        if (doc_begun_) printer_.Abort();
        return PrintLoopResult::kCancelled;
      }
      if (!doc_begun_) return PrintLoopResult::kNothingPrinted;
      printer_.EndDoc();
      return PrintLoopResult::kPrinted;
    } catch (...) {
      if (doc_begun_) {
        try {
          printer_.Abort();
        } catch (...) {
        }
      }
      throw;
    }
  }

 private:
  int EntryCount() const {
    return settings_.page_list.empty() ? count_ : static_cast<int>(settings_.page_list.size());
  }
  // The 0-based page of an entry; -1 when it lies outside the prepared pages.
  int EntryPage(int entry) const {
    int index = settings_.page_list.empty() ? entry
                                            : settings_.page_list[static_cast<size_t>(entry)] - 1;
    return index >= 0 && index < count_ ? index : -1;
  }
  bool PassesFilter(int index) const {
    int number = index + 1;
    if (settings_.print_pages == TfrxPrintPages::ppOdd) return number % 2 == 1;
    if (settings_.print_pages == TfrxPrintPages::ppEven) return number % 2 == 0;
    return true;
  }
  TfrxDuplexMode DuplexOf(const PrintPageInfo& info) const {
    return settings_.duplex != TfrxDuplexMode::dmNone ? settings_.duplex : info.duplex;
  }
  double DotsX(double mm) const { return mm * printer_.DPIX() / 25.4; }
  double DotsY(double mm) const { return mm * printer_.DPIY() / 25.4; }
  double OriginX() const { return -DotsX(printer_.LeftMargin()); }
  double OriginY() const { return -DotsY(printer_.TopMargin()); }

  void UseParams(const PrintParams& params) {
    if (have_params_ && params.SameSheetAs(last_params_) && params.copies == last_params_.copies)
      return;
    printer_.SetPrintParams(params);
    last_params_ = params;
    have_params_ = true;
  }
  void BeginSheet() {
    if (!doc_begun_) {
      printer_.BeginDoc();
      doc_begun_ = true;
    }
    printer_.BeginPage();
  }
  void PagePrinted(int index) {
    std::string text = frxGet("clPrintingPage");
    if (size_t at = text.find("%d"); at != std::string::npos)
      text.replace(at, 2, std::to_string(index + 1));
    progress_.Progress(text, index + 1);
    progress_.ProcessMessages();
    source_.ClearCache();
  }

  // The sheet of the chosen paper in the given orientation.
  PrintParams SheetParams(TPrinterOrientation orientation, const PrintPageInfo& info,
                          int copies) const {
    PrintParams params;
    params.paper = settings_.sheet_paper;
    params.width_mm = settings_.sheet_width_mm;
    params.height_mm = settings_.sheet_height_mm;
    if (orientation == TPrinterOrientation::poLandscape)
      std::swap(params.width_mm, params.height_mm);
    params.orientation = orientation;
    params.bin = info.bin;
    params.duplex = DuplexOf(info);
    params.copies = copies;
    return params;
  }

  bool RunPasses() {
    bool collate = settings_.collate;
    int passes = collate ? copies_ : 1;
    int driver_copies = collate ? 1 : copies_;
    int entries = EntryCount();
    for (int pass = 1; pass <= passes; ++pass) {
      first_from_source_.clear();
      for (int step = 0; step < entries; ++step) {
        int entry = settings_.reverse ? entries - 1 - step : step;
        int index = EntryPage(entry);
        if (index < 0 || !PassesFilter(index)) continue;
        if (progress_.Terminated()) return false;
        bool ok = true;
        switch (settings_.mode) {
          case TfrxPrintMode::pmSplit: ok = PrintSplit(index, driver_copies, pass); break;
          case TfrxPrintMode::pmScale: PrintScaled(index, driver_copies, pass); break;
          default: PrintDefault(index, driver_copies, pass); break;
        }
        if (!ok) return false;
        PagePrinted(index);
      }
    }
    return true;
  }

  void PrintDefault(int index, int driver_copies, int copy) {
    PrintPageInfo info = source_.PageInfo(index);
    bool first = first_from_source_.insert(info.source_page).second;
    PrintParams params;
    params.paper = info.paper;
    params.width_mm = info.width_mm;
    params.height_mm = info.height_mm;
    params.orientation = info.orientation;
    params.bin = first ? info.bin : info.bin_other_pages;
    params.duplex = DuplexOf(info);
    params.copies = driver_copies;
    UseParams(params);
    BeginSheet();
    source_.DrawPage(index, printer_, printer_.DPIX() / 96, printer_.DPIY() / 96, OriginX(),
                     OriginY(), copy);
    printer_.EndPage();
  }

  void PrintScaled(int index, int driver_copies, int copy) {
    PrintPageInfo info = source_.PageInfo(index);
    PrintParams params = SheetParams(info.orientation, info, driver_copies);
    UseParams(params);
    double k = std::min(params.width_mm / std::max(info.width_mm, 1.0),
                        params.height_mm / std::max(info.height_mm, 1.0));
    BeginSheet();
    source_.DrawPage(index, printer_, k * printer_.DPIX() / 96, k * printer_.DPIY() / 96,
                     OriginX(), OriginY(), copy);
    printer_.EndPage();
  }

  bool PrintSplit(int index, int driver_copies, int copy) {
    PrintPageInfo info = source_.PageInfo(index);
    double sw = settings_.sheet_width_mm, sh = settings_.sheet_height_mm;
    int across = TileCount(info.width_mm, sw), down = TileCount(info.height_mm, sh);
    int across_l = TileCount(info.width_mm, sh), down_l = TileCount(info.height_mm, sw);
    TPrinterOrientation orientation = TPrinterOrientation::poPortrait;
    if (across_l * down_l < across * down) {
      orientation = TPrinterOrientation::poLandscape;
      across = across_l;
      down = down_l;
    }
    PrintParams params = SheetParams(orientation, info, driver_copies);
    UseParams(params);
    for (int row = 0; row < down; ++row) {
      for (int column = 0; column < across; ++column) {
        if ((row || column) && progress_.Terminated()) return false;
        BeginSheet();
        source_.DrawPage(index, printer_, printer_.DPIX() / 96, printer_.DPIY() / 96,
                         OriginX() - column * DotsX(params.width_mm),
                         OriginY() - row * DotsY(params.height_mm), copy);
        printer_.EndPage();
      }
    }
    return true;
  }

  bool RunJoin() {
    int entries = EntryCount();
    std::vector<int> pages;
    for (int entry = 0; entry < entries; ++entry)
      if (int index = EntryPage(entry); index >= 0) pages.push_back(index);
    if (pages.empty()) return true;

    PrintPageInfo first = source_.PageInfo(pages.front());
    double sw = settings_.sheet_width_mm, sh = settings_.sheet_height_mm;
    int across = FitCount(sw, first.width_mm), down = FitCount(sh, first.height_mm);
    int across_l = FitCount(sh, first.width_mm), down_l = FitCount(sw, first.height_mm);
    TPrinterOrientation orientation = TPrinterOrientation::poPortrait;
    if (across_l * down_l > across * down) {
      orientation = TPrinterOrientation::poLandscape;
      across = across_l;
      down = down_l;
    }
    UseParams(SheetParams(orientation, first, 1));
    double cell_w = DotsX(first.width_mm), cell_h = DotsY(first.height_mm);
    int cells = across * down, cell = 0;
    for (int index : pages) {
      for (int copy = 1; copy <= copies_; ++copy) {
        if (progress_.Terminated()) {
          if (cell % cells != 0) printer_.EndPage();
          return false;
        }
        int position = cell % cells;
        if (position == 0) BeginSheet();
        int column = position % across, row = position / across;
        source_.DrawPage(index, printer_, printer_.DPIX() / 96, printer_.DPIY() / 96,
                         OriginX() + column * cell_w, OriginY() + row * cell_h, copy);
        ++cell;
        if (cell % cells == 0) printer_.EndPage();
      }
      PagePrinted(index);
    }
    if (cell % cells != 0) printer_.EndPage();
    return true;
  }

  PrintPageSource& source_;
  TfrxCustomPrinter& printer_;
  const PrintLoopSettings& settings_;
  PrintProgress& progress_;
  int copies_ = 1, count_ = 0;
  bool doc_begun_ = false, have_params_ = false;
  PrintParams last_params_;
  std::set<int> first_from_source_;
};

}  // namespace

PrintLoopResult RunPrintLoop(PrintPageSource& source, TfrxCustomPrinter& printer,
                             const PrintLoopSettings& settings, PrintProgress& progress) {
  return Loop(source, printer, settings, progress).Run();
}

}  // namespace lgoty::report
