// The shipped list template: it is what the program writes for the report of the
// beneficiary list, it loads without errors with every object and property in place, and a
// resave reads back the same tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/code_page.h"
#include "platform/system.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/query_data_sets.h"
#include "report/dialog_controls.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"
#include "spisok1_builder.h"
#include "tree_compare.h"

namespace lgoty::report {
namespace {

const std::string kTemplate = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

template <class T>
T* Find(TfrxReport& report, const char* name) {
  TfrxComponent* c = report.FindObject(name);
  EXPECT_NE(c, nullptr) << name;
  auto* typed = dynamic_cast<T*>(c);
  EXPECT_NE(typed, nullptr) << name << " is " << (c ? c->ClassName() : "missing");
  return typed;
}

TEST(Spisok1Template, IsWhatTheProgramWritesForTheListReport) {
  TfrxReport report;
  testing::BuildSpisok1(report);
  core::TMemoryStream stream;
  report.SaveToStream(stream);
  if (std::getenv("LGOTY_WRITE_TEMPLATE")) {
    std::ofstream(kTemplate, std::ios::binary) << stream.Bytes();
  }
  EXPECT_EQ(stream.Bytes(), ReadFile(kTemplate));
}

TEST(Spisok1Template, FileFormIsIndentedCrLfWithHeaderAndAnsiStrings) {
  std::string bytes = ReadFile(kTemplate);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TfrxReport ", 0), 0u);
  EXPECT_NE(bytes.find("\r\n  <Datasets>\r\n    <item DataSet=\"ADOQuery1\" DataSetName=\"ADOQuery1\"/>"),
            std::string::npos);
  EXPECT_NE(bytes.find("<item Name=\" New Category1\" Value=\"\"/>"), std::string::npos);
  // The dialog caption is a plain string: ANSI (1251) bytes. Memo texts are UTF-8.
  EXPECT_NE(bytes.find("Caption=\"" + core::FromUtf8(1251, "параметры") + "\""),
            std::string::npos);
  EXPECT_NE(bytes.find("Text=\"Список льготников по услуге: [usl]\""), std::string::npos);
  EXPECT_NE(bytes.find("PrintOptions.Printer=\"" + core::FromUtf8(1251, "По умолчанию") + "\""),
            std::string::npos);
  // The data page comes first among the pages.
  EXPECT_LT(bytes.find("<TfrxDataPage Name=\"Data\""), bytes.find("<TfrxReportPage"));
}

class Spisok1Loaded : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(report_.LoadFromFile(kTemplate));
    ASSERT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  }
  TfrxReport report_;
};

TEST_F(Spisok1Loaded, ReportSettingsVariablesAndScript) {
  EXPECT_EQ(report_.script_language, "PascalScript");
  EXPECT_TRUE(report_.engine_options.double_pass);
  EXPECT_EQ(report_.preview_options.buttons, 0x0FFFu);
  EXPECT_EQ(report_.preview_options.zoom, 1.0);
  EXPECT_TRUE(report_.preview_options.modal);
  EXPECT_EQ(report_.print_options.printer, "По умолчанию");
  EXPECT_EQ(report_.Version(), "5.2.3");

  ASSERT_EQ(report_.Variables().size(), 4u);
  const char* names[] = {" New Category1", "OFile", "vid", "usl"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(report_.Variables()[i]->Name(), names[i]);
    EXPECT_EQ(report_.Variables()[i]->value.AsString(), "");
  }
  ASSERT_EQ(report_.DataSets().size(), 1u);
  EXPECT_EQ(report_.DataSets()[0]->data_set_name, "ADOQuery1");
  EXPECT_EQ(report_.DataSets()[0]->data_set.Get(), report_.FindObject("ADOQuery1"));

  const core::TStringList& script = report_.script_text;
  ASSERT_EQ(script.Count(), 13);
  EXPECT_EQ(script[0], "");
  EXPECT_EQ(script[1], "procedure Button1OnClick(Sender: TfrxComponent);");
  EXPECT_EQ(script[2], "var s:string;");
  EXPECT_EQ(script[4], "  s:='select * from '''+<OFName>+'''';");
  EXPECT_EQ(script[5], "  if CheckBox1.Checked=true then s:=s+' WHERE SUMPAY>0';");
  EXPECT_EQ(script[6], "  s:=s+' ORDER BY FAMIL, IMJA, OTCH ';");
  EXPECT_EQ(script[7], " ADOQuery1.SQL.Add(s);");
  EXPECT_EQ(script[8], "end;");
  EXPECT_EQ(script[9], "");
  EXPECT_EQ(script[10], "begin");
  EXPECT_EQ(script[11], "");
  EXPECT_EQ(script[12], "end.");
}

TEST_F(Spisok1Loaded, DataPageQueryAndDialog) {
  ASSERT_EQ(report_.ObjectCount(), 3);
  auto* data = dynamic_cast<TfrxDataPage*>(report_.Object(0));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(data->Name(), "Data");
  EXPECT_EQ(data->Width(), 1000);
  EXPECT_EQ(data->Height(), 1000);

  auto* query = Find<TfrxADOQuery>(report_, "ADOQuery1");
  ASSERT_NE(query, nullptr);
  EXPECT_EQ(query->Parent(), data);
  EXPECT_EQ(query->UserName(), "ADOQuery1");
  EXPECT_TRUE(query->close_data_source);
  EXPECT_FALSE(query->bcd_to_currency);
  EXPECT_FALSE(query->IgnoreDupParams());
  EXPECT_EQ(query->Params().Count(), 0);
  EXPECT_EQ(query->CommandTimeout(), 30);
  EXPECT_EQ(query->LockType(), TADOLockType::ltReadOnly);
  EXPECT_EQ(query->SQL().Count(), 0);
  EXPECT_EQ(query->Database(), nullptr);

  auto* dialog = Find<TfrxDialogPage>(report_, "DialogPage1");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->caption, "параметры");
  EXPECT_EQ(dialog->border_style, TFormBorderStyle::bsDialog);
  EXPECT_EQ(dialog->Width(), 132);
  EXPECT_EQ(dialog->Height(), 141);
  EXPECT_EQ(dialog->ClientWidth(), 116);
  EXPECT_EQ(dialog->ClientHeight(), 103);
  EXPECT_EQ(dialog->Left(), 265);
  EXPECT_EQ(dialog->Top(), 150);
  EXPECT_EQ(dialog->Font().name, "Tahoma");
  EXPECT_EQ(dialog->Font().height, -11);
  EXPECT_EQ(dialog->on_activate, "DialogPage1OnActivate");

  auto* check = Find<TfrxCheckBoxControl>(report_, "CheckBox1");
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(check->Parent(), dialog);
  EXPECT_EQ(check->caption, "Больше 0");
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(check->Left(), 20);
  EXPECT_EQ(check->Top(), 24);
  EXPECT_EQ(check->Width(), 69);
  EXPECT_EQ(check->Height(), 17);

  auto* button = Find<TfrxButtonControl>(report_, "Button1");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->caption, "ОК");
  EXPECT_EQ(button->modal_result, 1);
  EXPECT_EQ(button->Left(), 16);
  EXPECT_EQ(button->Top(), 68);
  EXPECT_EQ(button->Width(), 75);
  EXPECT_EQ(button->Height(), 25);
  EXPECT_EQ(button->on_click, "Button1OnClick");
}

TEST_F(Spisok1Loaded, PageAndBands) {
  auto* page = Find<TfrxReportPage>(report_, "Page1");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->Orientation(), TPrinterOrientation::poPortrait);
  EXPECT_EQ(page->PaperSize(), 9);
  EXPECT_EQ(page->PaperWidth(), 210);
  EXPECT_EQ(page->PaperHeight(), 297);
  EXPECT_EQ(page->left_margin, 10);
  EXPECT_EQ(page->right_margin, 5);
  EXPECT_EQ(page->top_margin, 10);
  EXPECT_EQ(page->bottom_margin, 10);
  EXPECT_NEAR(page->PrintableWidth(), 737.00835, 1e-9);
  EXPECT_EQ(page->on_before_print, "Page1OnBeforePrint");

  const char* bands[] = {"ReportTitle1", "PageHeader1", "MasterData1", "ReportSummary1",
                         "PageFooter1"};
  const char* classes[] = {"TfrxReportTitle", "TfrxPageHeader", "TfrxMasterData",
                           "TfrxReportSummary", "TfrxPageFooter"};
  const double heights[] = {45.35, 41.57, 18.9, 34.02, 22.68};
  ASSERT_EQ(page->ObjectCount(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(page->Object(i)->Name(), bands[i]);
    EXPECT_STREQ(page->Object(i)->ClassName(), classes[i]);
    EXPECT_DOUBLE_EQ(page->Object(i)->Height(), heights[i]);
  }
  EXPECT_TRUE(Find<TfrxReportTitle>(report_, "ReportTitle1")->stretched);
  auto* master = Find<TfrxMasterData>(report_, "MasterData1");
  EXPECT_EQ(master->data_set.Get(), report_.FindObject("ADOQuery1"));
  EXPECT_EQ(master->DataSetName(), "ADOQuery1");
  EXPECT_EQ(master->row_count, 0);
  EXPECT_TRUE(master->stretched);
}

struct MemoExpectation {
  const char* name;
  const char* band;
  double left, top, width, height;
  int font_height;  // 0: the band's font
  bool bold;
  TfrxHAlign halign;
  bool framed;
  const char* text;
};

TEST_F(Spisok1Loaded, EveryMemoWithPositionFontFrameAlignmentAndText) {
  const auto L = TfrxHAlign::haLeft, C = TfrxHAlign::haCenter, R = TfrxHAlign::haRight;
  const MemoExpectation memos[] = {
      {"Memo18", "ReportTitle1", 7.56, 3.78, 725.67, 18.9, -13, true, L, false,
       "Список льготников по услуге: [usl]"},
      {"Memo2", "ReportTitle1", 170.08, 26.46, 563.15, 15.12, -11, false, R, false, "[OFile]"},
      {"Memo7", "PageHeader1", 0, 0, 37.8, 37.8, -13, true, C, true, "№ п.п."},
      {"Memo8", "PageHeader1", 37.8, 0, 98.27, 37.8, -13, true, C, true, "№ карточки"},
      {"Memo4", "PageHeader1", 136.06, 0, 287.24, 37.8, -13, true, C, true,
       "Фамилия Имя Отчество\r\n "},
      {"Memo5", "PageHeader1", 423.31, 0, 98.27, 37.8, -13, true, C, true,
       "Документ \r\nсерия, №"},
      {"Memo12", "PageHeader1", 521.58, 0, 139.84, 18.9, -13, true, C, true,
       "[IIF(<vid>=1,'Рецепт',IIF(<vid>=2,'Наряд','' ))]"},
      {"Memo13", "PageHeader1", 521.58, 22.68, 68.03, 18.9, -13, true, C, true, "№"},
      {"Memo14", "PageHeader1", 589.61, 22.68, 71.81, 18.9, -13, true, C, true, "Дата"},
      {"Memo6", "PageHeader1", 661.42, 0, 75.59, 37.8, -13, true, C, true, "Сумма\r\n(руб.)"},
      {"Memo9", "MasterData1", 0, 0, 37.8, 18.9, 0, false, C, true, "[Line#]"},
      {"Memo10", "MasterData1", 37.8, 0, 98.27, 18.9, 0, false, L, true,
       "[ADOQuery1.\"PYNKAR\"]"},
      {"Memo3", "MasterData1", 136.06, 0, 287.24, 18.9, 0, false, L, true,
       "[ADOQuery1.\"FAMIL\"] [ADOQuery1.\"IMJA\"] [ADOQuery1.\"OTCH\"]"},
      {"Memo1", "MasterData1", 423.31, 0, 98.27, 18.9, 0, false, L, true,
       "[ADOQuery1.\"DOC_SER\"] [ADOQuery1.\"DOC_NUM\"] "},
      {"Memo15", "MasterData1", 521.58, 0, 68.03, 18.9, -13, false, C, true,
       "[IIF(<vid>=1,<ADOQuery1.\"RECEPT\">,IIF(<vid>=2,<ADOQuery1.\"NARYD\">, ''))]"},
      {"Memo16", "MasterData1", 589.61, 0, 71.81, 18.9, -13, false, R, true,
       "[IIF(<vid>=1,<ADOQuery1.\"DATERCPT\">,IIF(<vid>=2,<ADOQuery1.\"DATENRD\">, ''))]"},
      {"Memo17", "MasterData1", 661.42, 0, 75.59, 18.9, 0, false, R, true,
       "[ADOQuery1.\"SUMPAY\"]"},
      {"Memo11", "ReportSummary1", 15.12, 11.34, 445.98, 18.9, -13, true, L, false,
       "Всего: записей - [COUNT(MasterData1)] на сумму :  "
       "[SUM(<ADOQuery1.\"SUMPAY\">,MasterData1)]"},
      {"Memo19", "PageFooter1", 506.46, 0, 222.99, 18.9, 0, false, R, false,
       "страница [Page#] из [TotalPages]"},
  };
  size_t memo_count = 0;
  for (TfrxComponent* c : report_.AllObjects()) {
    if (dynamic_cast<TfrxMemoView*>(c)) ++memo_count;
  }
  EXPECT_EQ(memo_count, std::size(memos));
  for (const MemoExpectation& m : memos) {
    SCOPED_TRACE(m.name);
    auto* memo = Find<TfrxMemoView>(report_, m.name);
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->Parent()->Name(), m.band);
    EXPECT_DOUBLE_EQ(memo->Left(), m.left);
    EXPECT_DOUBLE_EQ(memo->Top(), m.top);
    EXPECT_DOUBLE_EQ(memo->Width(), m.width);
    EXPECT_DOUBLE_EQ(memo->Height(), m.height);
    EXPECT_EQ(memo->Font().name, "Arial");
    EXPECT_EQ(memo->Font().height, m.font_height == 0 ? -13 : m.font_height);
    EXPECT_EQ(memo->ParentFont(), m.font_height == 0);
    EXPECT_EQ((memo->Font().style & font_style::fsBold) != 0, m.bold);
    EXPECT_EQ(memo->halign, m.halign);
    EXPECT_EQ(memo->Frame().typ, m.framed ? frame_typ::kAll : 0u);
    EXPECT_EQ(memo->Text(), m.text);
  }
  auto* memo17 = Find<TfrxMemoView>(report_, "Memo17");
  EXPECT_EQ(memo17->DisplayFormat().kind, TfrxFormatKind::fkNumeric);
  EXPECT_EQ(memo17->DisplayFormat().format_str, "%2.2n");
  EXPECT_EQ(memo17->DisplayFormat().decimal_separator, ",");
  EXPECT_EQ(Find<TfrxMemoView>(report_, "Memo18")->stretch_mode,
            TfrxStretchMode::smActualHeight);
  EXPECT_EQ(Find<TfrxMemoView>(report_, "Memo3")->stretch_mode, TfrxStretchMode::smMaxHeight);
}

TEST_F(Spisok1Loaded, ResaveReadsBackTheSameTree) {
  std::string out = platform::CreateTempFile("spisok1_resave");
  report_.SaveToFile(out);
  TfrxReport again;
  ASSERT_TRUE(again.LoadFromFile(out));
  EXPECT_EQ(again.Errors().Count(), 0) << again.Errors().Text();
  testing::ExpectSameTree(report_, again);
  // A second save gives the same bytes.
  core::TMemoryStream first, second;
  report_.SaveToStream(first);
  again.SaveToStream(second);
  EXPECT_EQ(first.Bytes(), second.Bytes());
  std::remove(out.c_str());
}

}  // namespace
}  // namespace lgoty::report
