// Sub-reports built by the band engine: where the bands of the shown page land on the
// prepared pages, how the parent goes on below them, page breaks inside, and the errors
// that stop a run before it starts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/exception.h"
#include "report/band_engine.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/expressions.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

struct Placed {
  std::string name;
  double left = 0, top = 0, height = 0;
  std::vector<std::string> texts;
  std::vector<double> text_tops;  // of the memos, inside the band
};

class SubreportTest : public ::testing::Test {
 protected:
  SubreportTest() {
    auto* data_page = report_.Add(std::make_unique<TfrxDataPage>());
    data_page->SetName("Data");
    rows_ = AddDataSet(data_page, "Rows", "N");
    items_ = AddDataSet(data_page, "Items", "M");
    report_.Expressions().on_get_value = [this](std::string_view name, core::Variant& value) {
      TfrxUserDataSet* ds = name == "N" ? rows_ : name == "M" ? items_ : nullptr;
      if (!ds) return false;
      value = core::Variant(static_cast<int32_t>(ds->RecNo() + 1));
      return true;
    };
    // 16 pixels per line and 2 of gaps stand in for fonts.
    report_.Expressions().Script().on_calc_height = [](TfrxComponent& c) {
      auto* memo = dynamic_cast<TfrxCustomMemoView*>(&c);
      return memo ? memo->Lines().Count() * 16.0 + 2 : c.Height();
    };
    report_.engine_options.destroy_forms = false;
    report_.engine_options.new_silent_mode = TfrxSilentMode::simSilent;
    main_ = AddPage("Page1");
    shown_ = AddPage("Page2");
  }

  TfrxUserDataSet* AddDataSet(TfrxDataPage* page, const char* name, const char* field) {
    auto* ds = page->Add(std::make_unique<TfrxUserDataSet>());
    ds->SetName(name);
    ds->fields.Add(field);
    ds->range_end = TfrxRangeEnd::reCount;
    report_.AddDataSet(ds, name);
    return ds;
  }

  TfrxReportPage* AddPage(const char* name) {
    auto* page = report_.Add(std::make_unique<TfrxReportPage>());
    page->SetName(name);
    page->left_margin = page->right_margin = page->top_margin = page->bottom_margin = 10;
    return page;
  }

  template <class T>
  T* AddBand(TfrxReportPage* page, const char* name, double top, double height) {
    T* band = page->Add(std::make_unique<T>());
    band->SetName(name);
    band->SetBounds(0, top, 300, height);
    return band;
  }

  TfrxMasterData* AddMaster(TfrxReportPage* page, const char* name, double top, double height,
                            TfrxUserDataSet* ds, int rows) {
    auto* band = AddBand<TfrxMasterData>(page, name, top, height);
    band->data_set.Set(ds);
    ds->range_end_count = rows;
    return band;
  }

  static TfrxMemoView* AddMemo(TfrxBand* band, const char* name, double top,
                               const std::string& text) {
    auto* memo = band->Add(std::make_unique<TfrxMemoView>());
    memo->SetName(name);
    memo->SetBounds(0, top, 100, 16);
    memo->SetText(text);
    return memo;
  }

  static TfrxSubreport* AddSubreport(TfrxBand* band, const char* name, double left, double top,
                                     TfrxReportPage* page) {
    auto* sub = band->Add(std::make_unique<TfrxSubreport>());
    sub->SetName(name);
    sub->SetBounds(left, top, 100, 10);
    sub->page.Set(page);
    return sub;
  }

  // Page2: a header, the Items rows and a footer, 16 pixels each.
  void ListItemsOnShownPage(int rows) {
    AddMemo(AddBand<TfrxHeader>(shown_, "ItemsHeader", 0, 16), "ItemsTitle", 0, "Items");
    AddMemo(AddMaster(shown_, "ItemsData", 20, 16, items_, rows), "Item", 0, "[N]/[M]");
    AddMemo(AddBand<TfrxFooter>(shown_, "ItemsFooter", 40, 16), "ItemsEnd", 0, "end");
  }

  std::vector<std::vector<Placed>> Pages() {
    std::vector<std::vector<Placed>> out;
    TfrxPreviewPages& pages = report_.PreviewPages();
    for (int i = 0; i < pages.Count(); ++i) {
      std::vector<Placed> page;
      TfrxReportPage* p = pages.Page(i);
      for (int k = 0; k < p->ObjectCount(); ++k) {
        auto* band = dynamic_cast<TfrxBand*>(p->Object(k));
        if (!band) continue;
        Placed placed{band->Name(), band->Left(), band->Top(), band->Height(), {}, {}};
        for (TfrxComponent* c : band->AllObjects()) {
          if (auto* memo = dynamic_cast<TfrxCustomMemoView*>(c)) {
            placed.texts.push_back(memo->Text());
            placed.text_tops.push_back(memo->Top());
          }
        }
        page.push_back(placed);
      }
      out.push_back(page);
    }
    return out;
  }

  static std::string Layout(const std::vector<Placed>& page) {
    std::string s;
    for (const Placed& p : page) {
      s += p.name + "@" + std::to_string(static_cast<int>(p.left)) + "," +
           std::to_string(static_cast<int>(p.top));
      for (const std::string& t : p.texts) s += " " + t;
      s += "\n";
    }
    return s;
  }

  double PageHeight() const { return 277 * 3.77953; }

  TfrxReport report_;
  TfrxUserDataSet* rows_;
  TfrxUserDataSet* items_;
  TfrxReportPage* main_;
  TfrxReportPage* shown_;
};

TEST_F(SubreportTest, MasterRowListsTheSecondDataSetAtTheSubreportPlace) {
  auto* master = AddMaster(main_, "RowData", 0, 40, rows_, 2);
  AddMemo(master, "Row", 0, "row [N]");
  AddSubreport(master, "Sub1", 50, 20, shown_);
  ListItemsOnShownPage(2);
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  // Page2 is not built as a page of its own; each row is followed by its item list,
  // which starts 20 below the row's top and 50 to the right; the next row comes below.
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Layout(pages[0]),
            "RowData@0,0 row 1\n"
            "ItemsHeader@50,20 Items\n"
            "ItemsData@50,36 1/1\n"
            "ItemsData@50,52 1/2\n"
            "ItemsFooter@50,68 end\n"
            "RowData@0,84 row 2\n"
            "ItemsHeader@50,104 Items\n"
            "ItemsData@50,120 2/1\n"
            "ItemsData@50,136 2/2\n"
            "ItemsFooter@50,152 end\n");
}

TEST_F(SubreportTest, ShortSubreportLeavesTheParentBelowItsBandAndChild) {
  auto* master = AddMaster(main_, "RowData", 0, 100, rows_, 2);
  AddSubreport(master, "Sub1", 0, 10, shown_);
  auto* child = AddBand<TfrxChild>(main_, "RowChild", 200, 10);
  master->child.Set(child);
  AddMaster(shown_, "ItemsData", 0, 16, items_, 1);
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Layout(pages[0]),
            "RowData@0,0\n"
            "ItemsData@0,10\n"
            "RowChild@0,100\n"
            "RowData@0,110\n"
            "ItemsData@0,120\n"
            "RowChild@0,210\n");
}

TEST_F(SubreportTest, TwoSubreportsSideBySideAndTheParentBelowTheLonger) {
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 1);
  AddSubreport(master, "Left", 0, 20, shown_);
  TfrxReportPage* third = AddPage("Page3");
  AddSubreport(master, "Right", 150, 20, third);
  AddBand<TfrxReportSummary>(main_, "Summary", 100, 10);
  AddMaster(shown_, "ItemsData", 0, 16, items_, 2);
  auto* counted = AddBand<TfrxMasterData>(third, "Counted", 0, 16);
  counted->row_count = 3;
  AddMemo(counted, "Line", 0, "[Line]");
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Layout(pages[0]),
            "RowData@0,0\n"
            "ItemsData@0,20\n"
            "ItemsData@0,36\n"
            "Counted@150,20 1\n"
            "Counted@150,36 2\n"
            "Counted@150,52 3\n"
            "Summary@0,68\n");
}

TEST_F(SubreportTest, SubreportCrossingAPageGoesOnBelowTheHeaderAtItsX) {
  AddBand<TfrxPageHeader>(main_, "PageHeader", 0, 30);
  auto* master = AddMaster(main_, "RowData", 50, 20, rows_, 2);
  AddMemo(master, "Row", 0, "row [N]");
  AddSubreport(master, "Sub1", 40, 20, shown_);
  auto* footer = AddBand<TfrxPageFooter>(main_, "PageFooter", 200, 20);
  AddMemo(footer, "PageNo", 0, "[Page#]");
  // Row 1's list fills page 1 below the row and goes on with 10 items on page 2.
  const double body = PageHeight() - 20;  // above the page footer
  const int first_fit = static_cast<int>((body - 50) / 16);  // from 30 + 20 down
  const int items = first_fit + 10;
  AddMemo(AddMaster(shown_, "ItemsData", 0, 16, items_, items), "Item", 0, "[N]/[M]");
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 3u);
  // Page 1: header, row 1 at 30, then its items from 50 down at X 40.
  EXPECT_EQ(pages[0][0].name, "PageHeader");
  EXPECT_EQ(pages[0][1].name, "RowData");
  EXPECT_DOUBLE_EQ(pages[0][1].top, 30);
  int items_seen = 0;
  std::vector<std::string> all_items;
  for (size_t p = 0; p < pages.size(); ++p) {
    bool header_seen = false, footer_seen = false;
    for (const Placed& band : pages[p]) {
      if (band.name == "PageHeader") {
        header_seen = true;
        EXPECT_DOUBLE_EQ(band.top, 0);
      }
      if (band.name == "PageFooter") {
        footer_seen = true;
        EXPECT_NEAR(band.top, body, 1e-6);
        EXPECT_EQ(band.texts[0], std::to_string(p + 1));
      }
      if (band.name == "ItemsData") {
        EXPECT_DOUBLE_EQ(band.left, 40);
        EXPECT_LE(band.top + 16, body + 1e-6);
        all_items.push_back(band.texts[0]);
        ++items_seen;
      }
    }
    EXPECT_TRUE(header_seen) << "page " << p + 1;
    EXPECT_TRUE(footer_seen) << "page " << p + 1;
  }
  ASSERT_EQ(items_seen, 2 * items);
  EXPECT_EQ(all_items.front(), "1/1");
  EXPECT_EQ(all_items[items], "2/1");
  EXPECT_EQ(all_items.back(), "2/" + std::to_string(items));
  // Page 2 goes on with row 1's items right below the page header.
  EXPECT_EQ(pages[1][1].name, "ItemsData");
  EXPECT_DOUBLE_EQ(pages[1][1].top, 30);
  EXPECT_EQ(pages[1][1].texts[0], "1/" + std::to_string(first_fit + 1));
  // Row 2 follows the last item of row 1 on page 2, at the left again.
  const double row2_top = 30 + (items - first_fit) * 16.0;
  ASSERT_LT(row2_top + 20, body);
  bool row2_found = false;
  for (const Placed& band : pages[1]) {
    if (band.name == "RowData") {
      row2_found = true;
      EXPECT_DOUBLE_EQ(band.left, 0);
      EXPECT_DOUBLE_EQ(band.top, row2_top);
      EXPECT_EQ(band.texts[0], "row 2");
    }
  }
  EXPECT_TRUE(row2_found);
}

TEST_F(SubreportTest, KeptRowMovesWithItsSubreportToTheNextPageAtBothPlaces) {
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 2);
  master->keep_together = true;
  AddMemo(master, "Row", 0, "row [N]");
  AddSubreport(master, "Sub1", 40, 20, shown_);
  // Each row's list takes 40% of a page: row 2 and its list do not fit below row 1's.
  const int items = static_cast<int>(PageHeight() * 0.4 / 16);
  AddMemo(AddMaster(shown_, "ItemsData", 0, 16, items_, items), "Item", 0, "[N]/[M]");
  rows_->range_end_count = 3;
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 2u);
  ASSERT_EQ(pages[0].size(), 2u * (1 + items));
  ASSERT_EQ(pages[1].size(), 1u + items);
  // Row 3 came out whole on page 2: the row at the left, its items at X 40 below it.
  EXPECT_EQ(pages[1][0].name, "RowData");
  EXPECT_EQ(pages[1][0].texts[0], "row 3");
  EXPECT_DOUBLE_EQ(pages[1][0].left, 0);
  EXPECT_DOUBLE_EQ(pages[1][0].top, 0);
  for (int i = 1; i <= items; ++i) {
    const Placed& item = pages[1][static_cast<size_t>(i)];
    EXPECT_DOUBLE_EQ(item.left, 40);
    EXPECT_DOUBLE_EQ(item.top, 20 + 16.0 * (i - 1));
    EXPECT_EQ(item.texts[0], "3/" + std::to_string(i));
  }
}

TEST_F(SubreportTest, SubreportsThatShowNoPageTheirOwnPageOrACircleStopTheRun) {
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 1);
  AddSubreport(master, "NoPage", 0, 0, nullptr);
  AddSubreport(master, "Itself", 0, 0, main_);
  // Page2 shows Page3, which shows Page2 again.
  TfrxReportPage* third = AddPage("Page3");
  AddSubreport(master, "Into", 0, 0, shown_);
  AddSubreport(AddMaster(shown_, "ItemsData", 0, 16, items_, 1), "Forth", 0, 0, third);
  auto* back = AddBand<TfrxMasterData>(third, "Counted", 0, 16);
  back->row_count = 1;
  AddSubreport(back, "Back", 0, 0, shown_);
  EXPECT_FALSE(report_.Prepare());
  EXPECT_EQ(report_.PreviewPages().Count(), 0);
  const std::string errors = report_.Errors().Text();
  EXPECT_NE(errors.find("Sub-report NoPage shows no page"), std::string::npos) << errors;
  EXPECT_NE(errors.find("Sub-report Itself shows its own page Page1"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find("circle: Page2, Page3, Page2"), std::string::npos) << errors;
  EXPECT_EQ(report_.Errors().Count(), 3) << errors;
}

TEST_F(SubreportTest, InvisibleSubreportBuildsNothingAndItsPageRunsNowhere) {
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 2);
  AddSubreport(master, "Sub1", 0, 20, shown_)->SetVisible(false);
  ListItemsOnShownPage(2);
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(Layout(pages[0]), "RowData@0,0\nRowData@0,20\n");
}

TEST_F(SubreportTest, PrintOnParentDrawsTheListIntoTheGrowingBand) {
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 2);
  AddMemo(master, "Row", 0, "row [N]");
  AddSubreport(master, "Sub1", 50, 20, shown_)->print_on_parent = true;
  AddMemo(master, "Below", 30, "below");
  ListItemsOnShownPage(2);
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  // No bands of their own: the list is in the row band, which grows to hold it and the
  // memo that moved down below the sub-report (grown from 10 to the list's 64).
  ASSERT_EQ(pages[0].size(), 2u) << Layout(pages[0]);
  for (int row = 0; row < 2; ++row) {
    const Placed& band = pages[0][static_cast<size_t>(row)];
    const std::string n = std::to_string(row + 1);
    EXPECT_EQ(band.name, "RowData");
    EXPECT_DOUBLE_EQ(band.top, row * 100.0);
    EXPECT_DOUBLE_EQ(band.height, 100);
    EXPECT_EQ(band.texts, (std::vector<std::string>{"row " + n, "below", "Items", n + "/1",
                                                     n + "/2", "end"}));
    EXPECT_EQ(band.text_tops, (std::vector<double>{0, 84, 20, 36, 52, 68}));
  }
  // The lent objects went back: the template's band holds its own three objects.
  EXPECT_EQ(master->ObjectCount(), 3);
}

TEST_F(SubreportTest, PrintOnParentBandTallerThanTheRoomLeftMovesToTheNextPage) {
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 3);
  AddMemo(master, "Row", 0, "row [N]");
  AddSubreport(master, "Sub1", 0, 20, shown_)->print_on_parent = true;
  // Each row's band holds 20 + 16 * items: two fit on a page, the third does not.
  const int items = static_cast<int>(PageHeight() / 16 / 2.5);
  AddMemo(AddMaster(shown_, "ItemsData", 0, 16, items_, items), "Item", 0, "[M]");
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 2u);
  ASSERT_EQ(pages[0].size(), 2u);
  ASSERT_EQ(pages[1].size(), 1u);
  const double height = 20 + 16.0 * items;
  EXPECT_DOUBLE_EQ(pages[0][1].top, height);
  EXPECT_DOUBLE_EQ(pages[1][0].top, 0);
  EXPECT_DOUBLE_EQ(pages[1][0].height, height);
  EXPECT_EQ(pages[1][0].texts.front(), "row 3");
  EXPECT_EQ(pages[1][0].texts.back(), std::to_string(items));
}

TEST_F(SubreportTest, RunFailingWhileABandHoldsALentListLeavesTheTemplateAsItWas) {
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 2);
  AddMemo(master, "Row", 0, "row [N]");
  AddSubreport(master, "Sub1", 0, 20, shown_)->print_on_parent = true;
  AddMemo(AddMaster(shown_, "ItemsData", 0, 16, items_, static_cast<int>(PageHeight() / 16 / 1.5)),
          "Item", 0, "[M]");
  // Row 2 does not fit: the break ends page 1, whose footer fails.
  AddMemo(AddBand<TfrxPageFooter>(main_, "PageFooter", 500, 20), "Boom", 0, "[Boom]");
  auto previous = report_.Expressions().on_get_value;
  report_.Expressions().on_get_value = [previous](std::string_view name, core::Variant& value) {
    if (name == "Boom") throw core::Exception("footer failed");
    return previous(name, value);
  };
  EXPECT_FALSE(report_.Prepare());
  EXPECT_NE(report_.Errors().Text().find("footer failed"), std::string::npos)
      << report_.Errors().Text();
  EXPECT_EQ(master->ObjectCount(), 2);
  EXPECT_EQ(shown_->FindObject("ItemsData")->ObjectCount(), 1);
}

TEST_F(SubreportTest, SubreportInsideAShownPageAndCirclesThroughPrintOnParent) {
  // Page1 shows Page2 on its parent; Page2's rows show Page3 as a sub-report of their own.
  auto* master = AddMaster(main_, "RowData", 0, 20, rows_, 1);
  AddSubreport(master, "Sub1", 0, 20, shown_)->print_on_parent = true;
  auto* items = AddMaster(shown_, "ItemsData", 0, 16, items_, 2);
  AddMemo(items, "Item", 0, "[M]");
  TfrxReportPage* third = AddPage("Page3");
  AddSubreport(items, "Inner", 20, 16, third);
  auto* counted = AddBand<TfrxMasterData>(third, "Counted", 0, 10);
  counted->row_count = 1;
  AddMemo(counted, "Mark", 0, "*");
  ASSERT_TRUE(report_.Prepare()) << report_.Errors().Text();
  auto pages = Pages();
  ASSERT_EQ(pages.size(), 1u);
  ASSERT_EQ(pages[0].size(), 1u) << Layout(pages[0]);
  // Each item row is followed by the mark 16 below it and 20 to the right.
  EXPECT_EQ(pages[0][0].texts, (std::vector<std::string>{"1", "*", "2", "*"}));
  EXPECT_EQ(pages[0][0].text_tops, (std::vector<double>{20, 36, 46, 62}));
  EXPECT_DOUBLE_EQ(pages[0][0].height, 72);

  // Page3 showing Page1 back closes a circle: the run stops before building anything.
  AddSubreport(counted, "Back", 0, 0, main_)->print_on_parent = true;
  EXPECT_FALSE(report_.Prepare());
  EXPECT_NE(report_.Errors().Text().find("circle: Page1, Page2, Page3, Page1"),
            std::string::npos)
      << report_.Errors().Text();
}

}  // namespace
}  // namespace lgoty::report
