// Inherited reports: a report built over an ancestor is saved as its differences
// ("inherited" elements carrying only changed values) and loaded back over the ancestor.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/stream.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/query_data_sets.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/serializer.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

// Ancestor: a query, a page with a master band over it holding two memos.
void BuildAncestor(TfrxReport& report) {
  auto* data = report.Add(std::make_unique<TfrxDataPage>());
  data->SetName("Data");
  auto* query = data->Add(std::make_unique<TfrxADOQuery>());
  query->SetName("Q");
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("Page1");
  auto* band = page->Add(std::make_unique<TfrxMasterData>());
  band->SetName("Band1");
  band->SetBounds(0, 20, 700, 30);
  band->data_set.Set(query);
  auto* memo = band->Add(std::make_unique<TfrxMemoView>());
  memo->SetName("Memo1");
  memo->SetBounds(10, 0, 100, 18.5);
  memo->SetText("Фамилия");
  auto* memo2 = band->Add(std::make_unique<TfrxMemoView>());
  memo2->SetName("Memo2");
  memo2->SetBounds(120, 0, 100, 18);
  memo2->SetText("Имя");
  report.report_options.name = "Ancestor";
}

std::string Save(TfrxReport& report, const TfrxReport* ancestor = nullptr) {
  core::TMemoryStream stream;
  report.SaveToStream(stream, true, false, ancestor);
  return stream.Bytes();
}

void Load(TfrxReport& report, const std::string& bytes) {
  core::TMemoryStream stream;
  stream.Write(std::string_view(bytes));
  stream.SetPosition(0);
  report.LoadFromStream(stream);
}

// The report as a derived one starts: a copy of the ancestor whose objects are marked as
// coming from it.
void LoadAsDerived(TfrxReport& report, const std::string& ancestor_bytes) {
  Load(report, ancestor_bytes);
  for (TfrxComponent* c : report.AllObjects()) c->SetInherited(true);
}

std::string LineOf(const std::string& bytes, const std::string& needle) {
  size_t at = bytes.find(needle);
  if (at == std::string::npos) return {};
  size_t begin = bytes.rfind('\n', at);
  size_t end = bytes.find('\n', at);
  return bytes.substr(begin == std::string::npos ? 0 : begin + 1,
                      end == std::string::npos ? std::string::npos : end - begin - 1);
}

class InheritedReport : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildAncestor(ancestor_);
    ancestor_bytes_ = Save(ancestor_);
    LoadAsDerived(derived_, ancestor_bytes_);
    ASSERT_EQ(derived_.Errors().Count(), 0);
  }
  TfrxReport ancestor_;
  TfrxReport derived_;
  std::string ancestor_bytes_;
};

TEST_F(InheritedReport, UnchangedDerivedReportWritesOnlyNames) {
  std::string bytes = Save(derived_, &ancestor_);
  EXPECT_EQ(bytes.find("TfrxMemoView"), std::string::npos);
  EXPECT_EQ(LineOf(bytes, "Name=\"Memo1\""), "      <inherited Name=\"Memo1\"/>\r");
  EXPECT_EQ(LineOf(bytes, "Name=\"Band1\""), "    <inherited Name=\"Band1\">\r");
  // The report's own values are kept whole.
  EXPECT_NE(bytes.find("ReportOptions.Name=\"Ancestor\""), std::string::npos);
}

TEST_F(InheritedReport, WritesDifferencesAndNewObjectsAndLoadsBackOverTheAncestor) {
  auto* memo = static_cast<TfrxMemoView*>(derived_.FindObject("Memo1"));
  memo->SetText("Фамилия И.О.");
  memo->SetWidth(100.0000004);  // within the float tolerance: unchanged
  memo->SetHeight(20);
  auto* band = static_cast<TfrxMasterData*>(derived_.FindObject("Band1"));
  band->data_set.Set(nullptr);
  auto* added = band->Add(std::make_unique<TfrxMemoView>());
  added->SetName("Memo3");
  added->SetBounds(240, 0, 50, 18);
  added->SetText("Новое");

  std::string bytes = Save(derived_, &ancestor_);
  std::string memo_line = LineOf(bytes, "Name=\"Memo1\"");
  EXPECT_NE(memo_line.find("<inherited "), std::string::npos);
  EXPECT_NE(memo_line.find(" Height=\"20\""), std::string::npos);
  EXPECT_NE(memo_line.find(" Text=\""), std::string::npos);
  EXPECT_EQ(memo_line.find("Width="), std::string::npos);
  EXPECT_EQ(memo_line.find("Left="), std::string::npos);
  EXPECT_EQ(memo_line.find("Font."), std::string::npos);
  // The dropped reference is written as nil; the new memo in full under its class.
  std::string band_line = LineOf(bytes, "Name=\"Band1\"");
  EXPECT_NE(band_line.find(" DataSet=\"nil\""), std::string::npos);
  EXPECT_EQ(band_line.find("Top="), std::string::npos);
  std::string added_line = LineOf(bytes, "Name=\"Memo3\"");
  EXPECT_NE(added_line.find("<TfrxMemoView "), std::string::npos);
  EXPECT_NE(added_line.find(" Left=\"240\""), std::string::npos);
  EXPECT_EQ(LineOf(bytes, "Name=\"Memo2\""), "      <inherited Name=\"Memo2\"/>\r");

  // Loaded over a fresh copy of the ancestor it gives the whole derived tree.
  TfrxReport loaded;
  LoadAsDerived(loaded, ancestor_bytes_);
  Load(loaded, bytes);
  EXPECT_EQ(loaded.Errors().Count(), 0);
  // The width change below the tolerance was not written: the ancestor's value stands.
  EXPECT_EQ(loaded.FindObject("Memo1")->Width(), 100);
  memo->SetWidth(100);
  EXPECT_EQ(Save(loaded), Save(derived_));
  auto* loaded_band = static_cast<TfrxMasterData*>(loaded.FindObject("Band1"));
  ASSERT_NE(loaded_band, nullptr);
  EXPECT_EQ(loaded_band->data_set.Get(), nullptr);
  EXPECT_EQ(loaded_band->ObjectCount(), 3);
  EXPECT_TRUE(loaded.FindObject("Memo1")->IsInherited());
  EXPECT_FALSE(loaded.FindObject("Memo3")->IsInherited());

  // Loading again replaces the derived objects but keeps the inherited ones.
  Load(loaded, bytes);
  EXPECT_EQ(Save(loaded), Save(derived_));
}

TEST_F(InheritedReport, ChangedReferenceAndStringListAreWrittenEqualOnesAreNot) {
  auto* query = static_cast<TfrxADOQuery*>(derived_.FindObject("Q"));
  auto* other = derived_.FindObject("Data")->Add(std::make_unique<TfrxADOQuery>());
  other->SetName("Q2");
  auto* band = static_cast<TfrxMasterData*>(derived_.FindObject("Band1"));
  band->data_set.Set(other);
  std::string bytes = Save(derived_, &ancestor_);
  EXPECT_NE(LineOf(bytes, "Name=\"Band1\"").find(" DataSet=\"Q2\""), std::string::npos);
  EXPECT_EQ(LineOf(bytes, "Name=\"Q\"").find("SQL.Text"), std::string::npos);

  query->SQL().Add("select * from lgoty");
  bytes = Save(derived_, &ancestor_);
  EXPECT_NE(LineOf(bytes, "Name=\"Q\"").find(" SQL.Text=\"select * from lgoty\""),
            std::string::npos);
}

TEST(InheritedReportRead, InheritedElementWithoutAncestorObjectIsSkipped) {
  TfrxReport report;
  Load(report,
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TfrxReport>\r\n"
       "<inherited Name=\"Page1\"><TfrxMemoView Name=\"M\"/></inherited>\r\n</TfrxReport>\r\n");
  EXPECT_EQ(report.ObjectCount(), 0);
  EXPECT_EQ(report.Errors().Count(), 0);
}

}  // namespace
}  // namespace lgoty::report
