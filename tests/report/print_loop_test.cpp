// The print loop against a recording printer: which pages reach the printer, in which
// order, on which sheets, with which parameters; the page text; cancelling.
#include <gtest/gtest.h>

#include "core/exception.h"
#include "recording_printer.h"
#include "report/page_numbers.h"
#include "report/print_loop.h"

namespace lgoty::report {
namespace {

using testing::CancelAfter;
using testing::FakePages;
using testing::RecordingPrinter;
using ::std::vector;

TEST(PageNumbers, ListsRangesAndSinglePagesInWrittenOrder) {
  EXPECT_EQ(ParsePageNumbers("1,3,5-12", 20), (vector<int>{1, 3, 5, 6, 7, 8, 9, 10, 11, 12}));
  EXPECT_EQ(ParsePageNumbers(" 3 , 1, 3 ", 5), (vector<int>{3, 1, 3}));
  EXPECT_EQ(ParsePageNumbers("3-", 5), (vector<int>{3, 4, 5}));
  EXPECT_EQ(ParsePageNumbers("5-3", 9), vector<int>{});
  EXPECT_EQ(ParsePageNumbers("5-3,2", 9), vector<int>{2});
  EXPECT_TRUE(ParsePageNumbers("", 9).empty());
  EXPECT_TRUE(ParsePageNumbers("   ", 9).empty());
}

TEST(PageNumbers, AnItemThatIsNoNumberIsAConversionError) {
  EXPECT_THROW(ParsePageNumbers("1,a", 5), core::EConvertError);
  EXPECT_THROW(ParsePageNumbers("1,,2", 5), core::EConvertError);
  EXPECT_THROW(ParsePageNumbers("2-x", 5), core::EConvertError);
}

TEST(PageNumbers, AHugeRangeStaysBounded) {
  EXPECT_LE(ParsePageNumbers("1-2000000000", 5).size(), size_t{1} << 22);
}

struct Job {
  RecordingPrinter printer;
  FakePages pages;
  CancelAfter progress;
  PrintLoopSettings settings;
  explicit Job(int count, int cancel_after = -1) : pages(count), progress(cancel_after) {
    printer.Init();
  }
  PrintLoopResult Run() { return RunPrintLoop(pages, printer, settings, progress); }
};

TEST(PrintLoop, PrintsEveryPageInOneDocumentWithProgress) {
  Job job(3);
  EXPECT_EQ(job.Run(), PrintLoopResult::kPrinted);
  EXPECT_EQ(job.pages.Numbers(), (vector<int>{1, 2, 3}));
  EXPECT_EQ(job.printer.events,
            (vector<std::string>{"params", "begin::", "page", "end page", "page", "end page",
                                 "page", "end page", "end doc"}));
  EXPECT_EQ(job.progress.texts,
            (vector<std::string>{"Печатается страница 1", "Печатается страница 2",
                                 "Печатается страница 3"}));
  EXPECT_GE(job.pages.cache_clears, 3);
  // 96 page pixels per inch become 300 dots per inch.
  EXPECT_DOUBLE_EQ(job.pages.drawn[0].scale_x, 300.0 / 96);
}

TEST(PrintLoop, PageListPicksPagesAndSkipsThoseOutsideTheReport) {
  Job job(5);
  job.settings.page_list = ParsePageNumbers("3-", 5);
  job.Run();
  EXPECT_EQ(job.pages.Numbers(), (vector<int>{3, 4, 5}));

  Job beyond(5);
  beyond.settings.page_list = {7, 0};
  EXPECT_EQ(beyond.Run(), PrintLoopResult::kNothingPrinted);
  EXPECT_TRUE(beyond.printer.events.empty());
}

TEST(PrintLoop, CopiesWithCollateRepeatTheWholeRun) {
  Job job(3);
  job.settings.copies = 2;
  job.Run();
  EXPECT_EQ(job.pages.Numbers(), (vector<int>{1, 2, 3, 1, 2, 3}));
  EXPECT_EQ(job.pages.drawn[3].copy, 2);
  for (const PrintParams& params : job.printer.set_params) EXPECT_EQ(params.copies, 1);
}

TEST(PrintLoop, CopiesWithoutCollateAreDriverCopiesOfEachPage) {
  Job job(3);
  job.settings.copies = 2;
  job.settings.collate = false;
  job.Run();
  EXPECT_EQ(job.pages.Numbers(), (vector<int>{1, 2, 3}));
  ASSERT_EQ(job.printer.set_params.size(), 1u);
  EXPECT_EQ(job.printer.set_params[0].copies, 2);
}

TEST(PrintLoop, CopiesBelowOneCountAsOne) {
  Job job(2);
  job.settings.copies = -4;
  job.Run();
  EXPECT_EQ(job.pages.Numbers(), (vector<int>{1, 2}));
}

TEST(PrintLoop, ReverseAndPageFilters) {
  Job reverse(5);
  reverse.settings.reverse = true;
  reverse.settings.page_list = {1, 3};
  reverse.Run();
  EXPECT_EQ(reverse.pages.Numbers(), (vector<int>{3, 1}));

  Job even(5);
  even.settings.print_pages = TfrxPrintPages::ppEven;
  even.Run();
  EXPECT_EQ(even.pages.Numbers(), (vector<int>{2, 4}));

  Job odd_reversed(5);
  odd_reversed.settings.print_pages = TfrxPrintPages::ppOdd;
  odd_reversed.settings.reverse = true;
  odd_reversed.settings.copies = 2;
  odd_reversed.Run();
  EXPECT_EQ(odd_reversed.pages.Numbers(), (vector<int>{5, 3, 1, 5, 3, 1}));
}

TEST(PrintLoop, ParametersChangeOnlyWhenThePageDiffersAndBinsFollowTheSourcePage) {
  Job job(4);
  auto& infos = job.pages.Infos();
  infos[0].bin = 2;
  infos[0].bin_other_pages = 3;
  infos[1] = infos[0];
  infos[2] = infos[0];
  infos[2].orientation = TPrinterOrientation::poLandscape;
  infos[2].width_mm = 297;
  infos[2].height_mm = 210;
  infos[3] = infos[0];
  job.Run();
  // Page 1: first of its template (bin 2); page 2: bin 3; page 3: landscape; page 4: back.
  ASSERT_EQ(job.printer.set_params.size(), 4u);
  EXPECT_EQ(job.printer.set_params[0].bin, 2);
  EXPECT_EQ(job.printer.set_params[1].bin, 3);
  EXPECT_EQ(job.printer.set_params[2].orientation, TPrinterOrientation::poLandscape);
  EXPECT_EQ(job.printer.set_params[3].orientation, TPrinterOrientation::poPortrait);
  EXPECT_DOUBLE_EQ(job.printer.PaperWidth(), 210);
}

TEST(PrintLoop, DrawingIsOffsetByThePhysicalMargins) {
  Job job(1);
  RecordingPrinter with_margins("M", 254, 5);  // 5 mm at 254 dpi = 50 dots
  with_margins.Init();
  RunPrintLoop(job.pages, with_margins, job.settings, job.progress);
  ASSERT_EQ(job.pages.drawn.size(), 1u);
  EXPECT_NEAR(job.pages.drawn[0].offset_x, -50, 1e-9);
  EXPECT_NEAR(job.pages.drawn[0].offset_y, -50, 1e-9);
}

TEST(PrintLoop, CancelAbortsTheDocumentAfterThePagePrinted) {
  Job job(5, 2);
  EXPECT_EQ(job.Run(), PrintLoopResult::kCancelled);
  EXPECT_EQ(job.pages.Numbers(), (vector<int>{1, 2}));
  EXPECT_EQ(job.printer.events.back(), "abort");

  Job before_start(5, 0);
  EXPECT_EQ(before_start.Run(), PrintLoopResult::kCancelled);
  EXPECT_TRUE(before_start.printer.events.empty());
}

TEST(PrintLoop, AFailingPageAbortsTheDocumentAndPassesTheError) {
  Job job(3);
  job.pages.on_draw = [](int index) {
    if (index == 1) throw core::Exception("broken page");
  };
  EXPECT_THROW(job.Run(), core::Exception);
  EXPECT_EQ(job.printer.events.back(), "abort");
}

TEST(SheetArithmetic, TileCountRoundsUnlessTheMissIsElevenMillimetres) {
  EXPECT_EQ(TileCount(420, 210), 2);
  EXPECT_EQ(TileCount(297, 210), 2);   // 87 mm would be lost
  EXPECT_EQ(TileCount(215, 210), 1);   // 5 mm: rounded
  EXPECT_EQ(TileCount(430, 210), 2);   // 10 mm: rounded down
  EXPECT_EQ(TileCount(431, 210), 3);   // 11 mm: one more
  EXPECT_EQ(TileCount(100, 210), 1);
  EXPECT_EQ(FitCount(420, 210), 2);
  EXPECT_EQ(FitCount(297, 210), 1);
  EXPECT_EQ(FitCount(100, 210), 1);
}

PrintPageInfo PageOf(double width, double height) {
  PrintPageInfo info;
  info.width_mm = width;
  info.height_mm = height;
  info.paper = 256;
  return info;
}

TEST(PrintLoop, SplitCutsALargePageIntoSheetTilesInTheCheaperOrientation) {
  // An A2 page (420 x 594) on A4 needs 2 x 2 portrait tiles and 2 x 3 landscape ones.
  Job job(1);
  job.pages.Infos()[0] = PageOf(420, 594);
  job.settings.mode = TfrxPrintMode::pmSplit;
  job.Run();
  ASSERT_EQ(job.pages.drawn.size(), 4u);
  EXPECT_EQ(job.printer.sheets, 4);
  EXPECT_EQ(job.printer.set_params[0].orientation, TPrinterOrientation::poPortrait);
  double sheet_w = 210 * 300 / 25.4, sheet_h = 297 * 300 / 25.4;
  EXPECT_NEAR(job.pages.drawn[1].offset_x, -sheet_w, 1e-6);
  EXPECT_NEAR(job.pages.drawn[1].offset_y, 0, 1e-6);
  EXPECT_NEAR(job.pages.drawn[2].offset_x, 0, 1e-6);
  EXPECT_NEAR(job.pages.drawn[2].offset_y, -sheet_h, 1e-6);
  EXPECT_EQ(job.progress.texts.size(), 1u);  // one page, four sheets

  Job wide(1);
  wide.pages.Infos()[0] = PageOf(594, 210);  // a strip: 3 x 1 portrait, 2 x 1 landscape
  wide.settings.mode = TfrxPrintMode::pmSplit;
  wide.Run();
  EXPECT_EQ(wide.printer.set_params[0].orientation, TPrinterOrientation::poLandscape);
  EXPECT_EQ(wide.printer.sheets, 2);
}

TEST(PrintLoop, JoinPutsSmallPagesOnOneSheetWithCopiesInNeighbouringCells) {
  // A5 pages (148 x 210) on A4: two per landscape sheet.
  Job job(3);
  for (auto& info : job.pages.Infos()) info = PageOf(148, 210);
  job.settings.mode = TfrxPrintMode::pmJoin;
  job.settings.copies = 2;
  job.settings.reverse = true;  // not applied when joining
  job.settings.print_pages = TfrxPrintPages::ppEven;
  job.Run();
  EXPECT_EQ(job.pages.Numbers(), (vector<int>{1, 1, 2, 2, 3, 3}));
  EXPECT_EQ(job.printer.sheets, 3);
  ASSERT_EQ(job.printer.set_params.size(), 1u);
  EXPECT_EQ(job.printer.set_params[0].orientation, TPrinterOrientation::poLandscape);
  EXPECT_EQ(job.pages.drawn[0].sheet, 0);
  EXPECT_EQ(job.pages.drawn[1].sheet, 0);
  EXPECT_EQ(job.pages.drawn[2].sheet, 1);
  EXPECT_NEAR(job.pages.drawn[1].offset_x, 148 * 300 / 25.4, 1e-6);
  EXPECT_EQ(job.pages.drawn[1].copy, 2);
  EXPECT_EQ(job.printer.events.back(), "end doc");
}

TEST(PrintLoop, JoinNeverPlacesACellOffTheSheet) {
  // 150 x 150 pages on A4 fit once in either orientation.
  Job job(2);
  for (auto& info : job.pages.Infos()) info = PageOf(150, 150);
  job.settings.mode = TfrxPrintMode::pmJoin;
  job.Run();
  EXPECT_EQ(job.printer.sheets, 2);
}

TEST(PrintLoop, ScaleFitsEveryPageOnTheSheet) {
  Job job(1);
  job.pages.Infos()[0] = PageOf(420, 594);  // A2 on A4: half size
  job.settings.mode = TfrxPrintMode::pmScale;
  job.Run();
  ASSERT_EQ(job.pages.drawn.size(), 1u);
  EXPECT_NEAR(job.pages.drawn[0].scale_x, 0.5 * 300 / 96, 1e-9);
  EXPECT_EQ(job.printer.set_params[0].paper, 9);
}

}  // namespace
}  // namespace lgoty::report
