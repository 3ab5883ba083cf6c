// The band engine from a report built in code to its prepared pages: where bands land,
// which pages exist and what their memos say.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "report/band_engine.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/report_script.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

// One band as it came out on a page.
struct Placed {
  std::string name;
  double top = 0, height = 0;
  std::vector<std::string> texts;  // its memos, in order
};

// The memo texts of every band of one name placed on a page, in order.
std::vector<std::vector<std::string>> TextsOf(const std::vector<Placed>& page,
                                              const std::string& band) {
  std::vector<std::vector<std::string>> rows;
  for (const Placed& p : page) {
    if (p.name == band) rows.push_back(p.texts);
  }
  return rows;
}

class BandEngineTest : public ::testing::Test {
 protected:
  BandEngineTest() {
    auto* data_page = report_.Add(std::make_unique<TfrxDataPage>());
    data_page->SetName("Data");
    rows_ = data_page->Add(std::make_unique<TfrxUserDataSet>());
    rows_->SetName("Rows");
    rows_->fields.Add("N");
    rows_->fields.Add("G");
    rows_->range_end = TfrxRangeEnd::reCount;
    rows_->OnGetValue = [this](const std::string& field, core::Variant& value) {
      const int n = rows_->RecNo() + 1;
      if (field == "N") value = core::Variant(n);
      if (field == "G") value = core::Variant(static_cast<int32_t>((n - 1) / group_size_));
    };
    report_.AddDataSet(rows_, "Rows");
    // The rows' number N and group G reach expressions as host values.
    report_.Expressions().on_get_value = [this](std::string_view name, core::Variant& value) {
      if (name == "N" || name == "G") {
        rows_->Value(std::string(name));
        const int n = rows_->RecNo() + 1;
        value = core::Variant(static_cast<int32_t>(name == "N" ? n : (n - 1) / group_size_));
        return true;
      }
      return false;
    };
    // A fixed measuring rule stands in for fonts: 16 pixels per line plus 2 of gaps.
    report_.Expressions().Script().on_calc_height = [](TfrxComponent& c) {
      auto* memo = dynamic_cast<TfrxCustomMemoView*>(&c);
      return memo ? memo->Lines().Count() * 16.0 + 2 : c.Height();
    };
    // The data set's callbacks are not part of the template: keep the report as built.
    report_.engine_options.destroy_forms = false;
    page_ = report_.Add(std::make_unique<TfrxReportPage>());
    page_->SetName("Page1");
    page_->left_margin = page_->right_margin = 10;
    page_->top_margin = page_->bottom_margin = 10;
    report_.engine_options.new_silent_mode = TfrxSilentMode::simSilent;
  }

  // Printable height of the page: (297 - 20) mm.
  double PageHeight() const { return 277 * 3.77953; }

  template <class T>
  T* AddBand(const char* name, double top, double height) {
    T* band = page_->Add(std::make_unique<T>());
    band->SetName(name);
    band->SetBounds(0, top, 700, height);
    return band;
  }

  TfrxMasterData* AddMaster(const char* name, double top, double height, int rows) {
    auto* band = AddBand<TfrxMasterData>(name, top, height);
    band->data_set.Set(rows_);
    rows_->range_end_count = rows;
    return band;
  }

  TfrxMemoView* AddMemo(TfrxBand* band, const char* name, double left, double width,
                        const std::string& text, double height = 0) {
    auto* memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName(name);
    memo->SetBounds(left, 0, width, height > 0 ? height : band->Height());
    memo->SetText(text);
    return memo;
  }

  bool Run() { return report_.Prepare(); }

  std::vector<std::vector<Placed>> Pages() {
    std::vector<std::vector<Placed>> out;
    TfrxPreviewPages& pages = report_.PreviewPages();
    for (int i = 0; i < pages.Count(); ++i) {
      std::vector<Placed> page;
      TfrxReportPage* p = pages.Page(i);
      for (int k = 0; k < p->ObjectCount(); ++k) {
        auto* band = dynamic_cast<TfrxBand*>(p->Object(k));
        if (!band) continue;
        Placed placed{band->Name(), band->Top(), band->Height(), {}};
        for (int m = 0; m < band->ObjectCount(); ++m) {
          if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(band->Object(m))) {
            if (memo->IsHidden()) continue;
            placed.texts.push_back(memo->Text());
          }
        }
        page.push_back(placed);
      }
      out.push_back(page);
    }
    return out;
  }

  static std::vector<std::string> Names(const std::vector<Placed>& page) {
    std::vector<std::string> names;
    for (const Placed& p : page) names.push_back(p.name);
    return names;
  }

  static const Placed* Find(const std::vector<Placed>& page, const std::string& name) {
    for (const Placed& p : page) {
      if (p.name == name) return &p;
    }
    return nullptr;
  }

  TfrxReport report_;
  TfrxUserDataSet* rows_;
  TfrxReportPage* page_;
  int group_size_ = 1000000;
};

TEST_F(BandEngineTest, TitleHeaderRowsSummaryAndFooterOnEveryPage) {
  AddBand<TfrxReportTitle>("ReportTitle1", 0, 40);
  AddBand<TfrxPageHeader>("PageHeader1", 50, 30);
  auto* data = AddMaster("MasterData1", 100, 20, 60);
  AddMemo(data, "Memo1", 0, 100, "[N]");
  AddBand<TfrxReportSummary>("ReportSummary1", 200, 30);
  auto* footer = AddBand<TfrxPageFooter>("PageFooter1", 300, 20);
  AddMemo(footer, "Memo2", 0, 200, "[Page#]");

  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  // Page 1: 40 + 30 + rows of 20 above the 20-pixel footer.
  const int first = static_cast<int>((PageHeight() - 20 - 70) / 20);
  const int later = static_cast<int>((PageHeight() - 20 - 30) / 20);
  ASSERT_EQ(pages.size(), 60 <= first ? 1u : (60 - first <= later ? 2u : 3u));
  const auto& p1 = pages[0];
  ASSERT_GE(p1.size(), 3u);
  EXPECT_EQ(p1[0].name, "ReportTitle1");
  EXPECT_DOUBLE_EQ(p1[0].top, 0);
  EXPECT_EQ(p1[1].name, "PageHeader1");
  EXPECT_DOUBLE_EQ(p1[1].top, 40);
  EXPECT_EQ(p1[2].name, "MasterData1");
  EXPECT_DOUBLE_EQ(p1[2].top, 70);
  EXPECT_EQ(p1[2].texts[0], "1");
  for (size_t i = 0; i < pages.size(); ++i) {
    const Placed* f = Find(pages[i], "PageFooter1");
    ASSERT_NE(f, nullptr) << "page " << i + 1;
    EXPECT_NEAR(f->top, PageHeight() - 20, 1e-6);
    EXPECT_EQ(f->texts[0], std::to_string(i + 1));
    EXPECT_EQ(Find(pages[i], "ReportTitle1") != nullptr, i == 0);
    EXPECT_NE(Find(pages[i], "PageHeader1"), nullptr);
  }
  // Page 2 starts with the header and then the next row.
  const auto& p2 = pages[1];
  EXPECT_EQ(p2[0].name, "PageHeader1");
  EXPECT_DOUBLE_EQ(p2[0].top, 0);
  EXPECT_EQ(p2[1].name, "MasterData1");
  EXPECT_DOUBLE_EQ(p2[1].top, 30);
  EXPECT_EQ(p2[1].texts[0], std::to_string(first + 1));
  // The summary follows the last row.
  const auto& last = pages.back();
  const Placed* summary = Find(last, "ReportSummary1");
  ASSERT_NE(summary, nullptr);
  const Placed* last_row = nullptr;
  for (const Placed& p : last) {
    if (p.name == "MasterData1") last_row = &p;
  }
  ASSERT_NE(last_row, nullptr);
  EXPECT_EQ(last_row->texts[0], "60");
  EXPECT_DOUBLE_EQ(summary->top, last_row->top + 20);
}

TEST_F(BandEngineTest, SummaryThatDoesNotFitMovesToANewPageWithHeaderAndFooter) {
  AddBand<TfrxPageHeader>("PageHeader1", 0, 30);
  // Rows fill the first page exactly: no room is left for the summary.
  const int rows = static_cast<int>((PageHeight() - 20 - 30) / 20);
  AddMaster("MasterData1", 100, 20, rows);
  AddBand<TfrxReportSummary>("ReportSummary1", 200, 30);
  AddBand<TfrxPageFooter>("PageFooter1", 300, 20);
  ASSERT_TRUE(Run());
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(Find(pages[0], "ReportSummary1"), nullptr);
  EXPECT_NE(Find(pages[0], "PageFooter1"), nullptr);
  EXPECT_EQ(Names(pages[1]),
            (std::vector<std::string>{"PageHeader1", "ReportSummary1", "PageFooter1"}));
  EXPECT_DOUBLE_EQ(Find(pages[1], "ReportSummary1")->top, 30);
}

TEST_F(BandEngineTest, DoublePassGivesTheFinalTotalOnEveryPage) {
  report_.engine_options.double_pass = true;
  AddMaster("MasterData1", 100, 300, 7);
  auto* footer = AddBand<TfrxPageFooter>("PageFooter1", 400, 20);
  AddMemo(footer, "Memo1", 0, 300, "страница [Page#] из [TotalPages]");
  ASSERT_TRUE(Run());
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 3u);  // three rows of 300 per page
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(Find(pages[i], "PageFooter1")->texts[0],
              "страница " + std::to_string(i + 1) + " из 3");
  }
}

TEST_F(BandEngineTest, VerticalBandsAreCheckedButLeaveTheHorizontalOutputAlone) {
  auto* data = AddMaster("MasterData1", 100, 20, 3);
  AddMemo(data, "Memo1", 0, 100, "[N]");
  // A vertical master by row count next to it, with a header on its left.
  auto* v_header = AddBand<TfrxHeader>("VHeader", 90, 20);
  v_header->vertical = true;
  v_header->SetBounds(0, 90, 40, 300);
  auto* v_master = AddBand<TfrxMasterData>("VMaster", 90, 20);
  v_master->vertical = true;
  v_master->SetBounds(50, 90, 40, 300);
  v_master->row_count = 2;
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Names(pages[0]),
            (std::vector<std::string>{"MasterData1", "MasterData1", "MasterData1"}));
  EXPECT_DOUBLE_EQ(pages[0][2].top, 40);

  // An error in the vertical tree stops the run like one in the horizontal tree.
  v_header->SetLeft(100);  // now right of its data band: connected to nothing
  EXPECT_FALSE(Run());
  EXPECT_NE(report_.Errors().Text().find("Не подключенный header/footer VHeader"),
            std::string::npos)
      << report_.Errors().Text();
  EXPECT_EQ(report_.PreviewPages().Count(), 0);
}

TEST_F(BandEngineTest, LineNumbersSkipFilteredRows) {
  auto* data = AddMaster("MasterData1", 100, 20, 6);
  data->filter = "<N> mod 2 = 0";
  AddMemo(data, "Memo1", 0, 100, "[Line#]:[N]");
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  std::vector<std::string> texts;
  for (const Placed& p : pages[0]) texts.push_back(p.texts[0]);
  EXPECT_EQ(texts, (std::vector<std::string>{"1:2", "2:4", "3:6"}));
}

TEST_F(BandEngineTest, MaxHeightCellsFollowTheTallestCellOfTheRow) {
  report_.engine_options.destroy_forms = true;
  auto* data = AddMaster("MasterData1", 100, 19, 1);
  data->stretched = true;
  auto* tall = AddMemo(data, "Memo1", 0, 100, "один\r\nдва\r\nтри");
  tall->stretch_mode = TfrxStretchMode::smActualHeight;
  auto* beside = AddMemo(data, "Memo2", 100, 100, "x");
  beside->stretch_mode = TfrxStretchMode::smMaxHeight;
  AddMemo(data, "Memo3", 200, 100, "y");
  ASSERT_TRUE(Run());
  TfrxReportPage* p = report_.PreviewPages().Page(0);
  auto* band = dynamic_cast<TfrxBand*>(p->Object(0));
  ASSERT_NE(band, nullptr);
  ASSERT_EQ(band->ObjectCount(), 3);
  const double h1 = band->Object(0)->Height();
  EXPECT_DOUBLE_EQ(h1, 50);  // three lines
  EXPECT_DOUBLE_EQ(band->Height(), h1);
  EXPECT_DOUBLE_EQ(band->Object(1)->Height(), h1);
  EXPECT_DOUBLE_EQ(band->Object(2)->Height(), 19);
  // The template is unchanged after the run (which reloaded it: look it up again).
  auto* after = dynamic_cast<TfrxMemoView*>(report_.FindObject("Memo1"));
  ASSERT_NE(after, nullptr);
  EXPECT_DOUBLE_EQ(after->Height(), 19);
  EXPECT_EQ(after->Text(), "один\r\nдва\r\nтри");
}

TEST_F(BandEngineTest, EmptyDataSetPrintsNoHeaderNoFooterAndWithoutPrintIfEmptyNoPage) {
  AddBand<TfrxHeader>("Header1", 50, 20);
  AddMaster("MasterData1", 100, 20, 0);
  AddBand<TfrxFooter>("Footer1", 150, 20);
  ASSERT_TRUE(Run());
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_TRUE(pages[0].empty());

  report_.engine_options.print_if_empty = false;
  ASSERT_TRUE(Run());
  EXPECT_EQ(report_.PreviewPages().Count(), 0);
}

TEST_F(BandEngineTest, RowCountWithoutDataSetPrintsThatManyTimesAndZeroNever) {
  auto* three = AddBand<TfrxMasterData>("MasterData1", 100, 20);
  three->row_count = 3;
  AddMemo(three, "Memo1", 0, 100, "[Line]");
  auto* none = AddBand<TfrxMasterData>("MasterData2", 200, 20);
  none->row_count = 0;
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 3u);
  EXPECT_EQ(pages[0][2].texts[0], "3");
  EXPECT_EQ(Find(pages[0], "MasterData2"), nullptr);
}

TEST_F(BandEngineTest, GroupsPrintHeadersAndFootersAroundTheirRows) {
  group_size_ = 3;
  auto* gh = AddBand<TfrxGroupHeader>("GroupHeader1", 50, 20);
  gh->condition = "G";
  AddMemo(gh, "Memo1", 0, 100, "G[G]");
  auto* data = AddMaster("MasterData1", 100, 20, 7);
  AddMemo(data, "Memo2", 0, 100, "[Line]");
  auto* gf = AddBand<TfrxGroupFooter>("GroupFooter1", 150, 20);
  AddMemo(gf, "Memo3", 0, 100, "n=[COUNT(MasterData1)]");
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  std::vector<std::string> texts;
  for (const Placed& p : pages[0]) texts.push_back(p.texts[0]);
  EXPECT_EQ(texts, (std::vector<std::string>{"G0", "1", "2", "3", "n=3", "G1", "1", "2", "3",
                                             "n=3", "G2", "1", "n=1"}));
}

TEST_F(BandEngineTest, KeepTogetherGroupMovesToTheNextPageAsAWhole) {
  group_size_ = 10;
  AddBand<TfrxPageHeader>("PageHeader1", 0, 30);
  auto* gh = AddBand<TfrxGroupHeader>("GroupHeader1", 50, 20);
  gh->condition = "G";
  gh->keep_together = true;
  AddMemo(gh, "Memo1", 0, 100, "G[G]");
  auto* data = AddMaster("MasterData1", 100, 40, 30);
  AddMemo(data, "Memo2", 0, 100, "[N]");
  AddBand<TfrxGroupFooter>("GroupFooter1", 150, 20);
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  // A group is 20 + 10 * 40 + 20 = 440 pixels; two fit on a page of 1047.
  ASSERT_EQ(pages.size(), 2u);
  auto count = [](const std::vector<Placed>& page, const char* name) {
    int n = 0;
    for (const Placed& p : page) n += p.name == name;
    return n;
  };
  EXPECT_EQ(count(pages[0], "GroupHeader1"), 2);
  EXPECT_EQ(count(pages[0], "MasterData1"), 20);
  EXPECT_EQ(count(pages[1], "GroupHeader1"), 1);
  EXPECT_EQ(pages[1][0].name, "PageHeader1");
  EXPECT_EQ(pages[1][1].name, "GroupHeader1");
  EXPECT_DOUBLE_EQ(pages[1][1].top, 30);
  EXPECT_EQ(pages[1][1].texts[0], "G2");
}

// The outline after a run, one line per entry: indent by level, "text page top".
std::vector<std::string> OutlineLines(TfrxOutline& outline, int depth = 0) {
  std::vector<std::string> lines;
  for (int i = 0; i < outline.Count(); ++i) {
    TfrxOutline::Entry e = outline.GetItem(i);
    lines.push_back(std::string(depth * 2, ' ') + e.text + " " + std::to_string(e.page) + " " +
                    std::to_string(e.top));
    outline.LevelDown(i);
    for (std::string& line : OutlineLines(outline, depth + 1)) lines.push_back(std::move(line));
    outline.LevelUp();
  }
  return lines;
}

TEST_F(BandEngineTest, OutlineTextGivesGroupEntriesWithTheirRowsInside) {
  group_size_ = 2;
  auto* gh = AddBand<TfrxGroupHeader>("GroupHeader1", 50, 20);
  gh->condition = "G";
  gh->outline_text = "'Group ' + IntToStr(<G>)";
  auto* data = AddMaster("MasterData1", 100, 30, 3);
  data->outline_text = "<N>";
  AddBand<TfrxGroupFooter>("GroupFooter1", 150, 10);
  AddBand<TfrxReportSummary>("ReportSummary1", 200, 20)->outline_text = "'never'";
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  TfrxOutline& outline = report_.PreviewPages().Outline();
  outline.LevelRoot();
  // Rows sit 20 below their group header; a group ends with its 10-pixel footer.
  EXPECT_EQ(OutlineLines(outline),
            (std::vector<std::string>{"Group 0 0 0", "  1 0 20", "  2 0 50", "Group 1 0 90",
                                      "  3 0 110"}));
}

TEST_F(BandEngineTest, OutlineEntriesMoveWithAKeptGroup) {
  group_size_ = 10;
  auto* gh = AddBand<TfrxGroupHeader>("GroupHeader1", 50, 20);
  gh->condition = "G";
  gh->keep_together = true;
  gh->outline_text = "<G>";
  auto* data = AddMaster("MasterData1", 100, 40, 30);
  data->outline_text = "<N>";
  AddBand<TfrxGroupFooter>("GroupFooter1", 150, 20);
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  ASSERT_EQ(report_.PreviewPages().Count(), 2);
  TfrxOutline& outline = report_.PreviewPages().Outline();
  outline.LevelRoot();
  ASSERT_EQ(outline.Count(), 3);
  // The third group (440 pixels) did not fit below the first two (880) and moved whole.
  TfrxOutline::Entry third = outline.GetItem(2);
  EXPECT_EQ(third.text, "2");
  EXPECT_EQ(third.page, 1);
  EXPECT_EQ(third.top, 0);
  outline.LevelDown(2);
  ASSERT_EQ(outline.Count(), 10);
  EXPECT_EQ(outline.GetItem(0).text, "21");
  EXPECT_EQ(outline.GetItem(0).page, 1);
  EXPECT_EQ(outline.GetItem(0).top, 20);
  EXPECT_EQ(outline.GetItem(9).top, 380);
}

TEST_F(BandEngineTest, ScriptsReachTheEngineAndTheOutline) {
  auto* header = AddBand<TfrxHeader>("Header1", 20, 20);
  header->on_before_print = "Header1OnBeforePrint";
  auto* data = AddMaster("MasterData1", 100, 30, 8);
  data->on_after_print = "MasterData1OnAfterPrint";
  AddMemo(data, "Memo1", 0, 100, "[N]");
  report_.script_text.SetText(
      "var Row: Integer;\r\n"
      "procedure Header1OnBeforePrint(Sender: TfrxComponent);\r\n"
      "begin\r\n  Outline.AddItem('rows');\r\n  Outline.LevelRoot;\r\nend;\r\n"
      "procedure MasterData1OnAfterPrint(Sender: TfrxComponent);\r\n"
      "begin\r\n"
      "  Row := Row + 1;\r\n"
      "  if Row = 2 then Engine.AddAnchor('two');\r\n"
      "  if Row = 3 then Engine.NewPage;\r\n"
      "  if Engine.FreeSpace <= 0 then Row := -100;\r\n"
      "  if Row = 5 then Engine.StopReport;\r\n"
      "  Memo1.Text := 'p' + IntToStr(Engine.GetAnchorPage('two'));\r\n"
      "end;\r\n"
      "begin\r\n  Row := 0;\r\nend.");
  report_.engine_options.double_pass = false;
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 2u);
  // Three rows, a page break asked for by the script, two more rows, then the stop.
  EXPECT_EQ(Names(pages[0]), (std::vector<std::string>{"Header1", "MasterData1", "MasterData1",
                                                       "MasterData1"}));
  EXPECT_EQ(Names(pages[1]), (std::vector<std::string>{"MasterData1", "MasterData1"}));
  // A row prints what the row before it left in its memo: the anchor's page.
  EXPECT_EQ(pages[1][1].texts[0], "p1");
  TfrxOutline& outline = report_.PreviewPages().Outline();
  outline.LevelRoot();
  ASSERT_EQ(outline.Count(), 1);
  EXPECT_EQ(outline.GetItem(0).text, "rows");
  EXPECT_EQ(outline.GetItem(0).page, 0);
  EXPECT_EQ(report_.PreviewPages().GetAnchorPage("two"), 1);  // 1-based
}

TEST_F(BandEngineTest, RowThatDoesNotFitGoesBelowTheNextPagesHeader) {
  AddBand<TfrxPageHeader>("PageHeader1", 0, 30);
  AddMaster("MasterData1", 100, 400, 3);
  AddBand<TfrxPageFooter>("PageFooter1", 300, 20);
  ASSERT_TRUE(Run());
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(Names(pages[0]), (std::vector<std::string>{"PageHeader1", "MasterData1",
                                                        "MasterData1", "PageFooter1"}));
  EXPECT_EQ(Names(pages[1]),
            (std::vector<std::string>{"PageHeader1", "MasterData1", "PageFooter1"}));
  EXPECT_DOUBLE_EQ(pages[1][1].top, 30);
}

TEST_F(BandEngineTest, AllowSplitPrintsATallBandInParts) {
  auto* data = AddMaster("MasterData1", 100, 20, 1);
  data->allow_split = true;
  data->stretched = true;
  std::string text;
  for (int i = 1; i <= 80; ++i) text += "строка " + std::to_string(i) + "\r\n";
  auto* memo = AddMemo(data, "Memo1", 0, 300, text);
  memo->stretch_mode = TfrxStretchMode::smActualHeight;
  ASSERT_TRUE(Run());
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 2u);
  ASSERT_EQ(pages[0].size(), 1u);
  ASSERT_EQ(pages[1].size(), 1u);
  const std::string& head = pages[0][0].texts[0];
  const std::string& tail = pages[1][0].texts[0];
  EXPECT_EQ(head.rfind("строка 1\r\n", 0), 0u);
  EXPECT_NE(tail.find("строка 80"), std::string::npos);
  EXPECT_EQ(head.find("строка 80"), std::string::npos);
  EXPECT_LE(pages[0][0].height, PageHeight() + 1e-6);
  EXPECT_DOUBLE_EQ(pages[1][0].top, 0);
}

TEST_F(BandEngineTest, BandTreeErrorsStopTheRunWithTheirLines) {
  AddMaster("MasterData1", 100, 20, 3);
  AddBand<TfrxGroupHeader>("GroupHeader1", 200, 20);
  AddBand<TfrxGroupFooter>("GroupFooter1", 10, 20);
  AddBand<TfrxHeader>("Header1", 300, 20);
  AddBand<TfrxDetailData>("DetailData1", 20, 20)->data_set.Set(rows_);
  EXPECT_FALSE(Run());
  EXPECT_EQ(report_.PreviewPages().Count(), 0);
  const std::string errors = report_.Errors().Text();
  EXPECT_NE(errors.find("Нет дата-бэнда для группы GroupHeader1"), std::string::npos);
  EXPECT_NE(errors.find("Нет заголовка группы GroupFooter1"), std::string::npos);
  EXPECT_NE(errors.find("Не подключенный header/footer Header1"), std::string::npos);
  EXPECT_NE(errors.find("Неправильно расположен бэнд: DetailData1"), std::string::npos);
}

}  // namespace
}  // namespace lgoty::report

namespace lgoty::report {
namespace {

// What the engine knows of a band's objects follows the band: a memo added while the rows
// print is filled from the next row on.
TEST_F(BandEngineTest, AMemoAddedDuringTheRunIsFilledFromTheNextRow) {
  auto* data = AddMaster("MasterData1", 100, 20, 3);
  AddMemo(data, "Memo1", 0, 100, "[N]");
  TfrxMemoView* added = nullptr;
  auto fill = rows_->OnGetValue;
  rows_->OnGetValue = [&, fill](const std::string& field, core::Variant& value) {
    fill(field, value);
    if (!added && rows_->RecNo() == 1) added = AddMemo(data, "Memo2", 200, 100, "[N]");
  };
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  std::vector<const Placed*> rows;
  for (const Placed& p : pages[0]) {
    if (p.name == "MasterData1") rows.push_back(&p);
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0]->texts, (std::vector<std::string>{"1"}));
  EXPECT_EQ(rows[2]->texts, (std::vector<std::string>{"3", "3"}));
}

// Reordering a band's memos while the rows print: the next row follows the new order, and
// a memo moved into another memo's place of another class is filled as what it is.
TEST_F(BandEngineTest, MemosReorderedDuringTheRunPrintInTheirNewOrderFromTheNextRow) {
  auto* data = AddMaster("MasterData1", 100, 20, 4);
  TfrxMemoView* first = AddMemo(data, "Memo1", 0, 100, "a[N]");
  AddMemo(data, "Memo2", 200, 100, "b[N]");
  auto fill = rows_->OnGetValue;
  bool moved = false;
  rows_->OnGetValue = [&, fill](const std::string& field, core::Variant& value) {
    fill(field, value);
    if (!moved && rows_->RecNo() == 1) {
      moved = true;
      first->MoveTo(data);  // to the end of the band's list
    }
  };
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  const std::vector<std::vector<std::string>> rows = TextsOf(pages[0], "MasterData1");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"a1", "b1"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"b3", "a3"}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"b4", "a4"}));
}

// What one row's scripts change on a band and its memos (place, size, visibility, TagStr)
// is put back before the next row, row after row, also when only some rows change it (a
// hidden memo is not filled: its TagStr stays unexpanded).
TEST_F(BandEngineTest, WhatARowChangesIsPutBackBeforeEveryNextRow) {
  auto* data = AddMaster("MasterData1", 100, 20, 6);
  data->on_before_print = "MasterData1OnBeforePrint";
  TfrxMemoView* memo = AddMemo(data, "Memo1", 10, 100, "[N]");
  memo->tag_str = "t[N]";
  memo->on_after_data = "Memo1OnAfterData";
  AddMemo(data, "Memo2", 200, 100, "[Memo1.TagStr]");
  report_.script_text.SetText(
      "procedure MasterData1OnBeforePrint(Sender: TfrxComponent);\r\n"
      "begin\r\n"
      "  if <N> mod 3 = 2 then begin Memo1.Left := 50; Memo1.Visible := False; end;\r\n"
      "end;\r\n"
      "procedure Memo1OnAfterData(Sender: TfrxComponent);\r\n"
      "begin\r\n"
      "  if <N> mod 2 = 0 then Memo1.TagStr := Memo1.TagStr + 'x';\r\n"
      "end;\r\n"
      "begin\r\nend.");
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  const std::vector<std::vector<std::string>> rows = TextsOf(pages[0], "MasterData1");
  ASSERT_EQ(rows.size(), 6u);
  const std::vector<std::vector<std::string>> expected = {
      {"1", "t1"}, {"t[N]"}, {"3", "t3"}, {"4", "t4x"}, {"t[N]"}, {"6", "t6x"}};
  EXPECT_EQ(rows, expected);
  EXPECT_DOUBLE_EQ(memo->Left(), 10);
  EXPECT_TRUE(memo->Visible());
  EXPECT_EQ(memo->tag_str, "t[N]");
}

// Objects taken from and given to a band between two of its prints (here by the band's
// child, printed after it) are left out and filled from the next print on, also when the
// newcomer is of another class.
TEST_F(BandEngineTest, ObjectsChangedBetweenPrintsOfABandPrintFromItsNextPrint) {
  auto* data = AddMaster("MasterData1", 100, 20, 6);
  AddMemo(data, "MemoA", 0, 100, "a[N]");
  TfrxMemoView* b = AddMemo(data, "MemoB", 100, 100, "b[N]");
  TfrxMemoView* c = AddMemo(data, "MemoC", 200, 100, "c[N]");
  auto* child = AddBand<TfrxChild>("Child1", 200, 20);
  data->child.Set(child);
  AddMemo(child, "Edit1", 0, 100, "[Edit]");
  auto values = report_.Expressions().on_get_value;
  report_.Expressions().on_get_value = [&, values](std::string_view name, core::Variant& value) {
    if (name != "Edit") return values(name, value);
    value = core::Variant(std::string());
    switch (rows_->RecNo() + 1) {
      case 2: data->Release(b); break;
      case 3: AddMemo(data, "MemoD", 300, 100, "d[N]"); break;
      case 4: {
        data->Release(c);
        auto* line = data->Add(std::make_unique<TfrxLineView>());
        line->SetBounds(200, 0, 100, 0);
        break;
      }
      case 5: {
        // Out and back in: the same object at another place in the list.
        TfrxComponent* a = data->FindObject("MemoA");
        data->Adopt(data->Release(a));
        break;
      }
      default: break;
    }
    return true;
  };
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  const std::vector<std::vector<std::string>> rows = TextsOf(pages[0], "MasterData1");
  const std::vector<std::vector<std::string>> expected = {
      {"a1", "b1", "c1"}, {"a2", "b2", "c2"}, {"a3", "c3"},
      {"a4", "c4", "d4"}, {"a5", "d5"},       {"d6", "a6"}};
  EXPECT_EQ(rows, expected);
}

// Event handlers are looked up on every print: one a script sets on an object in the
// middle of the run fires from the next row on, and stops when another replaces it.
TEST_F(BandEngineTest, AHandlerSetByTheScriptDuringTheRunFiresFromTheNextRow) {
  auto* data = AddMaster("MasterData1", 100, 20, 7);
  data->on_after_print = "MasterData1OnAfterPrint";
  AddMemo(data, "Memo1", 0, 100, "[N]");
  AddMemo(data, "Memo2", 100, 100, "x");
  report_.script_text.SetText(
      "procedure Nothing(Sender: TfrxComponent);\r\nbegin\r\nend;\r\n"
      "procedure Memo1Mark(Sender: TfrxComponent);\r\n"
      "begin\r\n  Memo1.Text := 'm' + Memo1.Text;\r\nend;\r\n"
      "procedure Memo2Hide(Sender: TfrxComponent);\r\n"
      "begin\r\n  if <N> mod 2 = 0 then Memo2.Visible := False;\r\nend;\r\n"
      "procedure MasterData1OnAfterPrint(Sender: TfrxComponent);\r\n"
      "begin\r\n"
      "  if <N> = 2 then Memo1.OnAfterData := Memo1Mark;\r\n"
      "  if <N> = 3 then Memo2.OnBeforePrint := Memo2Hide;\r\n"
      "  if <N> = 5 then begin\r\n"
      "    Memo1.OnAfterData := Nothing;\r\n"
      "    Memo2.OnBeforePrint := Nothing;\r\n"
      "    MasterData1.OnBeforePrint := Memo2Hide;\r\n"
      "  end;\r\n"
      "end;\r\n"
      "begin\r\nend.");
  ASSERT_TRUE(Run()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  const std::vector<std::vector<std::string>> rows = TextsOf(pages[0], "MasterData1");
  // Row 4 hides Memo2 from the memo's own handler, row 6 from the band's.
  const std::vector<std::vector<std::string>> expected = {
      {"1", "x"}, {"2", "x"}, {"m3", "x"}, {"m4"}, {"m5", "x"}, {"6"}, {"7", "x"}};
  EXPECT_EQ(rows, expected);
}

// A script that clears a band, or its page, while the band prints (from a memo's own
// handler, so the memo that runs the handler goes too) does not pull the objects from under
// the print or the script: the print finishes with what the band holds then.
class ScriptClearTest : public BandEngineTest {
 protected:
  std::vector<std::vector<std::string>> RowsWhenRowTwoClears(const std::string& cleared) {
    auto* data = AddMaster("MasterData1", 100, 20, 4);
    TfrxMemoView* memo = AddMemo(data, "Memo1", 0, 100, "[N]");
    memo->on_after_data = "Memo1OnAfterData";
    AddMemo(data, "Memo2", 100, 100, "x[N]");
    report_.script_text.SetText(
        "procedure Memo1OnAfterData(Sender: TfrxComponent);\r\n"
        "begin\r\n"
        "  if <N> = 2 then begin\r\n"
        "    " + cleared + ".Clear;\r\n"
        "    Memo1.Text := 'after';\r\n"
        "  end;\r\n"
        "end;\r\n"
        "begin\r\nend.");
    EXPECT_TRUE(Run()) << report_.Errors().Text();
    auto pages = Pages();
    if (pages.size() != 1u) {
      ADD_FAILURE() << pages.size() << " pages";
      return {};
    }
    return TextsOf(pages[0], "MasterData1");
  }
};

TEST_F(ScriptClearTest, AClearedBandPrintsEmptyFromThatPrintOn) {
  const auto rows = RowsWhenRowTwoClears("MasterData1");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "x1"}));
  EXPECT_EQ(rows[1], std::vector<std::string>());
  EXPECT_EQ(rows[2], std::vector<std::string>());
  EXPECT_EQ(rows[3], std::vector<std::string>());
}

// The report itself cannot be cleared by its script: that would take the script away
// while it runs. The run stops with the error instead.
TEST_F(ScriptClearTest, ClearingTheReportFromItsScriptIsAnError) {
  auto* data = AddMaster("MasterData1", 100, 20, 4);
  data->on_before_print = "MasterData1OnBeforePrint";
  AddMemo(data, "Memo1", 0, 100, "[N]");
  report_.script_text.SetText(
      "procedure MasterData1OnBeforePrint(Sender: TfrxComponent);\r\n"
      "begin\r\n  if <N> = 2 then Report.Clear;\r\nend;\r\n"
      "begin\r\nend.");
  EXPECT_FALSE(Run());
  EXPECT_NE(report_.Errors().Text().find("cannot be cleared"), std::string::npos) << report_.Errors().Text();
  EXPECT_NE(report_.FindObject("Memo1"), nullptr);
}

// The bands of a cleared page print no more after the print under way.
TEST_F(ScriptClearTest, AClearedPageFinishesThePrintUnderWay) {
  const auto rows = RowsWhenRowTwoClears("Page1");
  const std::vector<std::vector<std::string>> expected = {{"1", "x1"}, {"after", "x2"}};
  EXPECT_EQ(rows, expected);
}

}  // namespace
}  // namespace lgoty::report
