// The list template's pages over a register folder, measured with the real fonts: how many
// rows an A4 page holds, rows that grow when a cell wraps, the page footer and the summary.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/render/list_report_run.h"

namespace lgoty::render {
namespace {

using testing::ListPerson;
using testing::ListReportRun;
using testing::PlacedBand;
using testing::ShortPerson;

// The template's numbers (report units of 1/96 inch): A4 297 mm less 10 mm margins at top
// and bottom leaves 1046.93; the title takes 45.35, the page header 41.57, the page footer
// 22.68 and a row 18.9. Page 1 holds (1046.93 - 109.6) / 18.9 = 49.6 rows, a later page
// (1046.93 - 64.25) / 18.9 = 51.99.
TEST(ListReportPages, RowsThatDoNotWrapFill49ThenFiftyOneAPage) {
  std::vector<ListPerson> people;
  for (int n = 1; n <= 160; ++n) people.push_back(ShortPerson(n));
  ListReportRun run(people);
  ASSERT_TRUE(run.Run());
  ASSERT_EQ(run.PageCount(), 4);
  const int expected_rows[] = {49, 51, 51, 9};
  int line = 0;
  for (int p = 0; p < 4; ++p) {
    std::vector<PlacedBand> bands = run.Bands(p);
    EXPECT_EQ(ListReportRun::CountOf(bands, "MasterData1"), expected_rows[p]) << "page " << p + 1;
    EXPECT_EQ(ListReportRun::CountOf(bands, "ReportTitle1"), p == 0 ? 1 : 0);
    EXPECT_EQ(ListReportRun::CountOf(bands, "PageHeader1"), 1) << "page " << p + 1;
    // The rows follow each other without gaps, numbered on from the previous page.
    double expected_top = -1;
    for (const PlacedBand& band : bands) {
      if (band.name == "PageHeader1") expected_top = band.top + band.height;
      if (band.name != "MasterData1") continue;
      EXPECT_NEAR(band.top, expected_top, 0.01) << "page " << p + 1 << " row " << line + 1;
      EXPECT_NEAR(band.height, 18.9, 0.01);
      expected_top = band.top + band.height;
      EXPECT_EQ(ListReportRun::MemoText(band, "Memo9"), std::to_string(++line));
    }
    // The footer sits at the bottom of the printable height and counts the pages.
    const PlacedBand* footer = ListReportRun::Find(bands, "PageFooter1");
    ASSERT_NE(footer, nullptr) << "page " << p + 1;
    EXPECT_NEAR(footer->top + footer->height, 1046.93, 0.05);
    EXPECT_EQ(ListReportRun::MemoText(*footer, "Memo19"),
              "страница " + std::to_string(p + 1) + " из 4");
    EXPECT_LE(expected_top, footer->top);
  }
  EXPECT_EQ(line, 160);
  // The summary follows the last row: 160 people, 1 + ... + 160 plus 160 quarters.
  std::vector<PlacedBand> last = run.Bands(3);
  const PlacedBand* summary = ListReportRun::Find(last, "ReportSummary1");
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(ListReportRun::MemoText(*summary, "Memo11"),
            "Всего: записей - 160 на сумму :  12920");
  // The first row is the first person in surname order, with its cells as formatted.
  std::vector<PlacedBand> first = run.Bands(0);
  const PlacedBand* row = ListReportRun::Find(first, "MasterData1");
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(ListReportRun::MemoText(*row, "Memo3"), "Иванов1 Пётр Сергеевич");
  EXPECT_EQ(ListReportRun::MemoText(*row, "Memo15"), "51");
  EXPECT_EQ(ListReportRun::MemoText(*row, "Memo16"), "15.01.2024");
  EXPECT_EQ(ListReportRun::MemoText(*row, "Memo17"), "1,25");
}

// A row whose name or prescription number needs two lines grows, and with smMaxHeight every
// cell of the row takes the row's height, so that the frames of the row line up.
TEST(ListReportPages, ARowWithAWrappingCellGrowsWithAllItsCells) {
  std::vector<ListPerson> people = {ShortPerson(1), ShortPerson(2), ShortPerson(3)};
  people[1].famil = "Тихомирова-Преображенская";
  people[1].imja = "Констанция-Эвелина";
  people[1].otch = "Ростиславовна";
  people[2].recept = "ЛС 325280 12";
  ListReportRun run(people);
  ASSERT_TRUE(run.Run());
  ASSERT_EQ(run.PageCount(), 1);
  std::vector<PlacedBand> rows;
  for (const PlacedBand& band : run.Bands(0)) {
    if (band.name == "MasterData1") rows.push_back(band);
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_NEAR(rows[0].height, 18.9, 0.01);
  for (int i : {1, 2}) {
    const PlacedBand& row = rows[static_cast<size_t>(i)];
    EXPECT_GT(row.height, 30) << "row " << i + 1;
    ASSERT_EQ(row.memos.size(), 7u);
    for (const report::TfrxCustomMemoView* memo : row.memos) {
      EXPECT_NEAR(memo->Height(), row.height, 0.01) << memo->Name() << " in row " << i + 1;
    }
    EXPECT_NEAR(row.top, rows[static_cast<size_t>(i) - 1].top +
                             rows[static_cast<size_t>(i) - 1].height, 0.01);
  }
  std::vector<PlacedBand> page = run.Bands(0);
  const PlacedBand* footer = ListReportRun::Find(page, "PageFooter1");
  ASSERT_NE(footer, nullptr);
  EXPECT_EQ(ListReportRun::MemoText(*footer, "Memo19"), "страница 1 из 1");
}

}  // namespace
}  // namespace lgoty::render
