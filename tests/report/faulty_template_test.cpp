// A template written by hand with deliberate faults: each fault is reported once in the
// error list and everything that could be read is kept.
#include <gtest/gtest.h>

#include "report/bands.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

const char kFaulty[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<TfrxReport ScriptLanguage=\"PascalScript\">\r\n"
    "  <TfrxReportPage Name=\"Page1\" PaperSize=\"9\" LeftMargin=\"ten\">\r\n"
    "    <TfrxMasterData Name=\"MasterData1\" Height=\"18,9\" RowCount=\"2x\">\r\n"
    "      <TfrxMemoView Name=\"Memo1\" Left=\"5\" HAlign=\"haMiddle\" Text=\"one\"/>\r\n"
    "      <TfrxGaugeView Name=\"Gauge1\"/>\r\n"
    "      <TfrxMemoView Name=\"Memo2\" Left=\"6\" HAlign=\"haMiddle\" Text=\"two\"/>\r\n"
    "    </TfrxMasterData>\r\n"
    "    <TfrxPageFooter Name=\"PageFooter1\" Height=\"20\">\r\n"
    "      <TfrxMemoView Name=\"Memo3\" Text=\"three\"/>\r\n"
    "      <TfrxMemoView Name=\"Memo4\" Text=\"four\">\r\n";  // never closed

TEST(FaultyTemplate, EachFaultReportedOnceAndReadablePartsKept) {
  TfrxReport report;
  core::TMemoryStream stream{std::string(kFaulty)};
  report.LoadFromStream(stream);

  // Each distinct message once (both memos have the same bad HAlign); the list keeps them
  // in its collation order.
  EXPECT_EQ(report.Errors().Count(), 5) << report.Errors().Text();
  for (const char* expected : {"'2x' is not a valid integer value",
                               "'ten' is not a valid floating point value",
                               "Invalid file format", "Invalid property element: haMiddle",
                               "Не удалось найти класс TfrxGaugeView"}) {
    EXPECT_GE(report.Errors().IndexOf(expected), 0) << expected;
  }

  auto* page = dynamic_cast<TfrxReportPage*>(report.FindObject("Page1"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->PaperSize(), 9);
  EXPECT_EQ(page->left_margin, 0);  // the bad value was skipped
  auto* band = dynamic_cast<TfrxMasterData*>(report.FindObject("MasterData1"));
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(band->Height(), 18.9);
  EXPECT_EQ(band->row_count, 0);
  auto* memo1 = dynamic_cast<TfrxMemoView*>(report.FindObject("Memo1"));
  auto* memo2 = dynamic_cast<TfrxMemoView*>(report.FindObject("Memo2"));
  ASSERT_NE(memo1, nullptr);
  ASSERT_NE(memo2, nullptr);
  EXPECT_EQ(memo1->Left(), 5);
  EXPECT_EQ(memo1->halign, TfrxHAlign::haLeft);
  EXPECT_EQ(memo1->Text(), "one");
  EXPECT_EQ(memo2->Text(), "two");
  EXPECT_EQ(report.FindObject("Gauge1"), nullptr);
  // Elements read before the unclosed tag are kept, also those inside it.
  EXPECT_NE(report.FindObject("PageFooter1"), nullptr);
  EXPECT_NE(report.FindObject("Memo3"), nullptr);
  EXPECT_NE(report.FindObject("Memo4"), nullptr);
  EXPECT_EQ(report.Version(), "5.2.3");
}

TEST(FaultyTemplate, GarbageAndTruncatedFilesGiveAnErrorNotACrash) {
  const std::string cases[] = {
      "",
      "not xml at all",
      "<?xml version=\"1.0\"?>",
      "<?xml version=\"1.0\"?><TfrxReport",
      "<?xml version=\"1.0\"?><TfrxReport><TfrxMemoView Name=\"M\" Text=\"&#9999999999999;\"/>"
      "</TfrxReport>",
      "<?xml version=\"1.0\"?><TfrxReport><TfrxReportPage Name=\"P\"><TfrxReportPage Name=\"P\">"
      "<TfrxMemoView Name=\"P\"/></TfrxReportPage></TfrxReportPage></TfrxReport>",
      "<?xml version=\"1.0\"?><TfrxReport Name=\"X\" Version=\"9\" Frame.Typ=\"1\" "
      "ScriptText.Text=\"&#\" EngineOptions.MaxMemSize=\"99999999999999999999\"/>",
  };
  for (const std::string& text : cases) {
    TfrxReport report;
    core::TMemoryStream stream(text);
    report.LoadFromStream(stream);
    EXPECT_EQ(report.Version(), "5.2.3") << text;
  }
}

TEST(FaultyTemplate, DuplicateNamesNeverFormACycle) {
  TfrxReport report;
  core::TMemoryStream stream(std::string(
      "<?xml version=\"1.0\"?><TfrxReport><TfrxReportPage Name=\"P\">"
      "<TfrxReportPage Name=\"P\"><TfrxMemoView Name=\"P\"/></TfrxReportPage>"
      "</TfrxReportPage></TfrxReport>"));
  report.LoadFromStream(stream);
  EXPECT_EQ(report.Errors().IndexOf("A component named P already exists"), 0);
  auto all = report.AllObjects();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(report.FindByName("P"), all[0]);
}

}  // namespace
}  // namespace lgoty::report
