// The PDF drawn while the final pass builds the pages: for reports built in code and run by
// the engine, the file it keeps is byte for byte the file of the export after the run, and
// where it cannot be (a page changed after it was drawn, a page count that turned out
// otherwise, a failed or stopped run) it keeps nothing and says why.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "render/pipelined_pdf.h"
#include "render/prepared_pages_export.h"
#include "report/band_engine.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "report/views.h"
#include "tests/render/command_output.h"
#include "tests/render/list_report_run.h"

namespace lgoty::render {
namespace {

namespace fs = std::filesystem;
using namespace report;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A report over rows 1..rows (N, and the group G = (N - 1) / group_size): a page header,
// the rows, and a footer "Страница [Page#] из [TotalPages#]" unless footer is empty.
struct Shape {
  int rows = 60;
  int group_size = 1000000;
  bool double_pass = true;
  bool groups = false;
  bool keep_together = false;
  bool start_new_page = false;
  bool reset_page_numbers = false;
  std::string footer = "Страница [Page#] из [TotalPages#]";
  double row_height = 40;
  // Called with the report and its page once built (for handlers of a test's own).
  std::function<void(TfrxReport&, TfrxReportPage&)> adjust;
};

class BuiltReport {
 public:
  explicit BuiltReport(const Shape& shape) : group_size_(shape.group_size) {
    auto* data_page = report_.Add(std::make_unique<TfrxDataPage>());
    data_page->SetName("Data");
    rows_ = data_page->Add(std::make_unique<TfrxUserDataSet>());
    rows_->SetName("Rows");
    rows_->fields.Add("N");
    rows_->fields.Add("G");
    rows_->range_end = TfrxRangeEnd::reCount;
    rows_->range_end_count = shape.rows;
    report_.AddDataSet(rows_, "Rows");
    report_.Expressions().on_get_value = [this](std::string_view name, core::Variant& value) {
      if (name != "N" && name != "G") return false;
      const int n = rows_->RecNo() + 1;
      value = core::Variant(static_cast<int32_t>(name == "N" ? n : (n - 1) / group_size_));
      return true;
    };
    report_.engine_options.destroy_forms = false;
    report_.engine_options.double_pass = shape.double_pass;
    report_.engine_options.new_silent_mode = TfrxSilentMode::simSilent;

    page_ = report_.Add(std::make_unique<TfrxReportPage>());
    page_->SetName("Page1");
    page_->left_margin = page_->right_margin = page_->top_margin = page_->bottom_margin = 10;
    auto* header = AddBand<TfrxPageHeader>("PageHeader1", 0, 30);
    AddMemo(header, "HeaderText", "Список льготников");
    if (!shape.footer.empty()) {
      auto* footer = AddBand<TfrxPageFooter>("PageFooter1", 1000, 24);
      AddMemo(footer, "FooterText", shape.footer);
    }
    if (shape.groups) {
      auto* group = AddBand<TfrxGroupHeader>("GroupHeader1", 50, 24);
      group->condition = "G";
      group->keep_together = shape.keep_together;
      group->start_new_page = shape.start_new_page;
      group->reset_page_numbers = shape.reset_page_numbers;
      AddMemo(group, "GroupText", "Группа [G]");
    }
    auto* master = AddBand<TfrxMasterData>("MasterData1", 100, shape.row_height);
    master->data_set.Set(rows_);
    AddMemo(master, "RowText", "Строка [N] группы [G]");
    if (shape.groups) {
      auto* footer = AddBand<TfrxGroupFooter>("GroupFooter1", 200, 24);
      AddMemo(footer, "GroupEnd", "Итого по группе [G]");
    }
    if (shape.adjust) shape.adjust(report_, *page_);
  }

  TfrxReport& Report() { return report_; }
  TfrxReportPage& Page() { return *page_; }

 private:
  template <class T>
  T* AddBand(const char* name, double top, double height) {
    T* band = page_->Add(std::make_unique<T>());
    band->SetName(name);
    band->SetBounds(0, top, 700, height);
    return band;
  }
  static void AddMemo(TfrxBand* band, const char* name, const std::string& text) {
    auto* memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName(name);
    memo->SetBounds(0, 0, 600, band->Height());
    memo->SetText(text);
  }

  TfrxReport report_;
  TfrxUserDataSet* rows_ = nullptr;
  TfrxReportPage* page_ = nullptr;
  int group_size_;
};

struct Outcome {
  bool prepared = false;
  bool kept = false;          // the file drawn alongside the pass was kept
  std::string reason;         // why not
  report::FedDrawing drawing;
  int pages = 0;
  std::string bytes;          // the PDF in the end (drawn alongside or exported after)
  bool file_left = false;     // something is under the path after a failed run
};

// The run as lgoty-report runs it: the PDF drawn alongside the pass, exported after the run
// when that one is not kept, nothing when the run failed.
Outcome PipelinedRun(const Shape& shape, const std::string& path) {
  BuiltReport built(shape);
  Outcome out;
  {
    PipelinedPdf early(built.Report(), path);
    out.prepared = built.Report().Prepare(true);
    out.kept = early.Finish(out.prepared);
    out.reason = early.FallbackReason();
    out.drawing = early.Drawing();
  }
  out.pages = built.Report().PreviewPages().Count();
  if (!out.prepared) {
    out.file_left = fs::exists(path);
    return out;
  }
  if (!out.kept) {
    EXPECT_TRUE(ExportPdf(built.Report(), path));
  }
  out.bytes = Bytes(path);
  return out;
}

// The export after the run.
std::string SequentialPdf(const Shape& shape, const std::string& path) {
  BuiltReport built(shape);
  EXPECT_TRUE(built.Report().Prepare(true)) << built.Report().Errors().Text();
  EXPECT_TRUE(ExportPdf(built.Report(), path));
  return Bytes(path);
}

class PipelinedPdfTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const {
    return dir_.path().toStdString() + "/" + name;
  }
  // Runs both ways and expects the same file; returns the pipelined outcome.
  Outcome ExpectSameFile(const Shape& shape) {
    const std::string sequential = SequentialPdf(shape, Path("sequential.pdf"));
    Outcome out = PipelinedRun(shape, Path("pipelined.pdf"));
    EXPECT_TRUE(out.prepared);
    EXPECT_FALSE(sequential.empty());
    EXPECT_EQ(out.bytes.size(), sequential.size());
    EXPECT_TRUE(out.bytes == sequential) << "the files differ";
    return out;
  }

  QTemporaryDir dir_;
};

TEST_F(PipelinedPdfTest, DoublePassWithPageNumbersAndTotalsIsTheFileOfTheExportAfter) {
  Shape shape;
  shape.rows = 90;  // four pages of rows at 40 pixels
  Outcome out = ExpectSameFile(shape);
  EXPECT_TRUE(out.kept) << out.reason;
  EXPECT_GE(out.pages, 4);
  EXPECT_EQ(out.drawing.pages, out.pages);
  EXPECT_TRUE(out.drawing.count_used);
  EXPECT_EQ(out.drawing.count, out.pages);
}

TEST_F(PipelinedPdfTest, KeptGroupsMovedToTheNextPageAndNewPagesPerGroupAreTheSameFile) {
  Shape keep;
  keep.rows = 80;
  keep.group_size = 9;
  keep.groups = true;
  keep.keep_together = true;  // a group of 24 + 9 * 40 + 24 pixels moves on as a whole
  Outcome kept = ExpectSameFile(keep);
  EXPECT_TRUE(kept.kept) << kept.reason;
  EXPECT_GE(kept.pages, 4);

  Shape per_group;
  per_group.rows = 70;
  per_group.group_size = 30;  // a group takes two pages, each starts on a new page
  per_group.groups = true;
  per_group.start_new_page = true;
  per_group.reset_page_numbers = true;
  per_group.footer = "Стр. [Page#] из [TotalPages#] ([Page] / [TotalPages])";
  Outcome grouped = ExpectSameFile(per_group);
  EXPECT_TRUE(grouped.kept) << grouped.reason;
  EXPECT_GE(grouped.pages, 5);
}

TEST_F(PipelinedPdfTest, PagesSwappedToTheFileCacheAndASecondPageOnThePreviousOneAreTheSameFile) {
  // Every finished page leaves memory for the temporary file while the pass goes on.
  Shape swapped;
  swapped.rows = 120;
  swapped.adjust = [](TfrxReport& report, TfrxReportPage&) {
    report.engine_options.use_file_cache = true;
    report.engine_options.max_mem_size = 0;
  };
  Outcome cached = ExpectSameFile(swapped);
  EXPECT_TRUE(cached.kept) << cached.reason;
  EXPECT_GE(cached.pages, 5);

  // A second report page that goes on below the first one's last band.
  Shape continued;
  continued.rows = 50;
  continued.adjust = [](TfrxReport& report, TfrxReportPage&) {
    auto* second = report.Add(std::make_unique<TfrxReportPage>());
    second->SetName("Page2");
    second->print_on_previous_page = true;
    auto* title = second->Add(std::make_unique<TfrxReportTitle>());
    title->SetName("Title2");
    title->SetBounds(0, 0, 700, 300);
    auto* memo = title->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("Title2Text");
    memo->SetBounds(0, 0, 600, 300);
    memo->SetText("Приложение: всего страниц [TotalPages#]");
  };
  Outcome both = ExpectSameFile(continued);
  EXPECT_TRUE(both.kept) << both.reason;
}

TEST_F(PipelinedPdfTest, ASinglePassIsKeptOnlyWithoutAPageCountMarker) {
  Shape plain;
  plain.double_pass = false;
  plain.footer = "Страница [Page#]";
  Outcome without = ExpectSameFile(plain);
  EXPECT_TRUE(without.kept) << without.reason;
  EXPECT_FALSE(without.drawing.count_used);

  // The count is not known while the only pass runs: the early file is not the right one.
  Shape totals;
  totals.double_pass = false;
  Outcome with = ExpectSameFile(totals);
  EXPECT_FALSE(with.kept);
  EXPECT_TRUE(with.drawing.count_used);
  EXPECT_NE(with.reason.find("page count"), std::string::npos) << with.reason;
}

TEST_F(PipelinedPdfTest, ABandPlacedOnAnEarlierPageTakesTheExportAfterTheRun) {
  // A manual build that prints rows over three pages, then goes back to the first page and
  // prints one more band there (and then writes over the pages after it).
  Shape shape;
  shape.adjust = [](TfrxReport& report, TfrxReportPage& page) {
    auto* note = page.Add(std::make_unique<TfrxChild>());
    note->SetName("Note");
    note->SetBounds(0, 400, 700, 30);
    auto* memo = note->Add(std::make_unique<TfrxMemoView>());
    memo->SetName("NoteText");
    memo->SetBounds(0, 0, 600, 30);
    memo->SetText("Дописано позже");
    report.on_manual_build_handler = [&report, note](TfrxReportPage&) {
      TfrxEngine& engine = report.Engine();
      for (int i = 0; i < 3; ++i) {
        engine.ShowBand(note);
        engine.NewPage();
      }
      engine.ShowBand(note);
      if (engine.FinalPass()) report.PreviewPages().SetCurPage(0);
      engine.ShowBand(note);
    };
  };
  Outcome out = ExpectSameFile(shape);
  EXPECT_FALSE(out.kept);
  EXPECT_NE(out.reason.find("changed"), std::string::npos) << out.reason;
  EXPECT_EQ(out.pages, 4);
}

TEST_F(PipelinedPdfTest, APageEditedAfterTheRunTakesTheExportAfterTheRun) {
  Shape shape;
  shape.adjust = [](TfrxReport& report, TfrxReportPage&) {
    report.on_end_doc = [&report] {
      TfrxPreviewPages& pages = report.PreviewPages();
      pages.DeletePage(1);
    };
  };
  Outcome out = ExpectSameFile(shape);
  EXPECT_FALSE(out.kept);
  EXPECT_FALSE(out.reason.empty());
}

TEST_F(PipelinedPdfTest, AFailedRunLeavesNoFileAndAStoppedOneIsExportedAfter) {
  // Fails in the final pass, after pages were complete and handed to the drawing.
  Shape failing;
  failing.rows = 200;
  failing.adjust = [](TfrxReport& report, TfrxReportPage&) {
    report.on_manual_build_handler = [&report](TfrxReportPage&) {
      TfrxEngine& engine = report.Engine();
      for (int i = 0; i < 5; ++i) engine.NewPage();
      if (engine.FinalPass()) throw std::runtime_error("Нет связи с реестром");
    };
  };
  const std::string path = Path("failed.pdf");
  Outcome failed = PipelinedRun(failing, path);
  EXPECT_FALSE(failed.prepared);
  EXPECT_FALSE(failed.kept);
  EXPECT_FALSE(failed.file_left);

  // A template the engine refuses: no page at all, and no file.
  Shape refused;
  refused.adjust = [](TfrxReport& report, TfrxReportPage& page) {
    auto* rows = dynamic_cast<TfrxDataSet*>(report.FindByName("Rows"));
    ASSERT_NE(rows, nullptr);
    page.data_set.Set(rows);
    report.data_set.Set(rows);
  };
  Outcome none = PipelinedRun(refused, Path("refused.pdf"));
  EXPECT_FALSE(none.prepared);
  EXPECT_FALSE(none.file_left);

  // Stopped on the final pass: the pages so far are what the export after writes.
  Shape stopped;
  stopped.adjust = [](TfrxReport& report, TfrxReportPage&) {
    report.on_manual_build_handler = [&report](TfrxReportPage&) {
      TfrxEngine& engine = report.Engine();
      for (int i = 0; i < 3; ++i) engine.NewPage();
      if (engine.FinalPass()) engine.StopReport();
    };
  };
  Outcome out = ExpectSameFile(stopped);
  EXPECT_FALSE(out.kept);
  EXPECT_NE(out.reason.find("stopped"), std::string::npos) << out.reason;
}

// Runs lgoty-report run with the list template over the run's register and the given
// output options; the output ends with "#status N", the exit status.
std::string RunListCommand(const testing::ListReportRun& run, const std::string& outputs) {
  const std::string vars = " --var \"OFile='" + run.RegisterPath() + "'\"" +
                           " --var \"OFPath='" + run.Folder() + "'\"" +
                           " --var \"OFName='med2024'\" --var \"usl='лекарства'\" --var vid=1";
  const std::string tool = std::string(LGOTY_BINARY_DIR) + "/bin/lgoty-report";
  return lgoty::testing::CommandOutput("QT_QPA_PLATFORM=offscreen '" + tool + "' run '" +
                                       testing::kListTemplate + "' --connection '" + run.Folder() +
                                       "'" + vars + outputs + " 2>&1; echo \"#status $?\"");
}

// lgoty-report run draws its first PDF alongside the pass and writes a second one after
// the run: the shipped list template gives the same bytes both ways.
TEST(PipelinedPdfCommand, TheFirstPdfOfARunIsTheFileOfTheExportAfter) {
  std::vector<testing::ListPerson> people;
  for (int n = 1; n <= 120; ++n) people.push_back(testing::ShortPerson(n));
  testing::ListReportRun run(people);
  QTemporaryDir dir;
  const std::string out = dir.path().toStdString();
  const std::string result =
      RunListCommand(run, " --pdf '" + out + "/early.pdf' --pdf '" + out + "/after.pdf'");
  ASSERT_NE(result.find("#status 0"), std::string::npos) << result;
  const std::string early = Bytes(out + "/early.pdf");
  EXPECT_GT(early.size(), 1000u);
  EXPECT_TRUE(early == Bytes(out + "/after.pdf"));
  EXPECT_FALSE(fs::exists(out + "/early.pdf.partial"));
}

// Two outputs of one file cannot both be kept: the run fails and leaves neither the file nor
// its temporary (the PDF drawn during the run is written under that same temporary name).
TEST(PipelinedPdfCommand, TwoOutputsOfOneNameFailAndLeaveNoFile) {
  std::vector<testing::ListPerson> people;
  for (int n = 1; n <= 30; ++n) people.push_back(testing::ShortPerson(n));
  testing::ListReportRun run(people);
  QTemporaryDir dir;
  const std::string out = dir.path().toStdString();
  // A link to the folder reaches the same file under another name.
  fs::create_directory_symlink(out, out + "/link");
  for (const std::string& outputs :
       {" --fp3 '" + out + "/same' --pdf '" + out + "/same'",
        " --pdf '" + out + "/same' --pdf '" + out + "/./same'",
        " --pdf '" + out + "/same' --fp3 '" + out + "/link/same'"}) {
    const std::string result = RunListCommand(run, outputs);
    EXPECT_NE(result.find("#status 1"), std::string::npos) << outputs << result;
    EXPECT_FALSE(fs::exists(out + "/same")) << outputs;
    EXPECT_FALSE(fs::exists(out + "/same.partial")) << outputs;
    std::error_code ignored;
    fs::remove_all(out + "/same", ignored);
  }
}

}  // namespace
}  // namespace lgoty::render
