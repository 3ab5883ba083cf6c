// Template writing and reading through the serializer: attribute forms, escaping, element
// forms, the header's effect on string decoding, and unknown classes.
#include <gtest/gtest.h>

#include "core/code_page.h"
#include "core/format_settings.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/query_data_sets.h"
#include "report/dialog_controls.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/serializer.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

std::string Save(TfrxReport& report) {
  core::TMemoryStream stream;
  report.SaveToStream(stream);
  return stream.Bytes();
}

void Load(TfrxReport& report, const std::string& bytes) {
  core::TMemoryStream stream(bytes);
  report.LoadFromStream(stream);
}

// A report with one page, one band and one memo.
TfrxMemoView* MakeMemoReport(TfrxReport& report) {
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("Page1");
  auto* band = page->Add(std::make_unique<TfrxMasterData>());
  band->SetName("MasterData1");
  auto* memo = band->Add(std::make_unique<TfrxMemoView>());
  memo->SetName("Memo1");
  return memo;
}

// The attribute text of the element that starts with the given opening.
std::string ElementText(const std::string& bytes, const std::string& opening) {
  size_t at = bytes.find(opening);
  if (at == std::string::npos) return "";
  return bytes.substr(at, bytes.find('>', at) - at);
}

class TemplateFormat : public ::testing::Test {
 protected:
  void SetUp() override { core::SetDefaultFormatSettings(core::FormatSettings::Russian()); }
};

TEST_F(TemplateFormat, FrameSidesHAlignAndZeroFloatsAreWritten) {
  TfrxReport report;
  TfrxMemoView* memo = MakeMemoReport(report);
  memo->Frame().typ = frame_typ::kAll;
  memo->halign = TfrxHAlign::haCenter;
  memo->SetBounds(0, 0, 37.8, 18.9);
  std::string text = ElementText(Save(report), "<TfrxMemoView");
  EXPECT_NE(text.find(" Frame.Typ=\"15\""), std::string::npos) << text;
  EXPECT_NE(text.find(" HAlign=\"haCenter\""), std::string::npos) << text;
  EXPECT_NE(text.find(" Left=\"0\""), std::string::npos) << text;
  EXPECT_NE(text.find(" Width=\"37,8\""), std::string::npos) << text;
  // Name comes first; defaults (VAlign, WordWrap, GapY ...) are not written.
  EXPECT_EQ(text.rfind("<TfrxMemoView Name=\"Memo1\" ", 0), 0u) << text;
  EXPECT_EQ(text.find("VAlign"), std::string::npos);
  EXPECT_EQ(text.find("WordWrap"), std::string::npos);
  EXPECT_EQ(text.find("GapY"), std::string::npos);
}

TEST_F(TemplateFormat, GapXIsStoredOnlyWhenNotTwo) {
  TfrxReport report;
  TfrxMemoView* memo = MakeMemoReport(report);
  EXPECT_EQ(ElementText(Save(report), "<TfrxMemoView").find("GapX"), std::string::npos);
  memo->gap_x = 3;
  EXPECT_NE(ElementText(Save(report), "<TfrxMemoView").find(" GapX=\"3\""), std::string::npos);
}

TEST_F(TemplateFormat, EmptyVariableListWritesNoVariablesElement) {
  TfrxReport report;
  MakeMemoReport(report);
  EXPECT_EQ(Save(report).find("<Variables"), std::string::npos);
  report.AddVariable("Total", core::Variant("'1'"));
  std::string bytes = Save(report);
  EXPECT_NE(bytes.find("<Variables>\r\n    <item Name=\"Total\" Value=\"'1'\"/>"),
            std::string::npos);
}

TEST_F(TemplateFormat, MemoTextWithSpecialCharactersRoundTrips) {
  const std::string long_text = "select * from t where a < 5 & b > \"x\" -- it's long enough";
  const std::string short_text = "R&D \"x\"";
  const std::string quot_text = "said &quot;hi&quot;";
  for (const std::string& value : {long_text, short_text, quot_text}) {
    TfrxReport report;
    MakeMemoReport(report)->SetText(value);
    std::string bytes = Save(report);
    TfrxReport again;
    Load(again, bytes);
    ASSERT_EQ(again.Errors().Count(), 0) << again.Errors().Text();
    auto* memo = static_cast<TfrxMemoView*>(again.FindObject("Memo1"));
    ASSERT_NE(memo, nullptr);
    std::string expected = value == quot_text ? "said \"hi\"" : value;
    EXPECT_EQ(memo->Text(), expected);
  }
  // The short path keeps a lone '&' as it is in the file.
  TfrxReport report;
  MakeMemoReport(report)->SetText(short_text);
  EXPECT_NE(Save(report).find("Text=\"R&D &#34;x&#34;\""), std::string::npos);
}

TEST_F(TemplateFormat, MultiLineTextDropsOneTrailingLineBreak) {
  TfrxReport report;
  TfrxMemoView* memo = MakeMemoReport(report);
  memo->SetText("Сумма\r\n(руб.)");
  std::string text = ElementText(Save(report), "<TfrxMemoView");
  EXPECT_NE(text.find("Text=\"Сумма&#13;&#10;(руб.)\""), std::string::npos) << text;
}

TEST_F(TemplateFormat, StringsAreAnsiAndMemoTextsUtf8) {
  TfrxReport report;
  TfrxMemoView* memo = MakeMemoReport(report);
  memo->tag_str = "метка";
  memo->SetText("текст");
  std::string text = ElementText(Save(report), "<TfrxMemoView");
  EXPECT_NE(text.find("TagStr=\"" + core::FromUtf8(1251, "метка") + "\""), std::string::npos);
  EXPECT_NE(text.find("Text=\"текст\""), std::string::npos);
  TfrxReport again;
  Load(again, Save(report));
  auto* read = static_cast<TfrxMemoView*>(again.FindObject("Memo1"));
  EXPECT_EQ(read->tag_str, "метка");
  EXPECT_EQ(read->Text(), "текст");
}

TEST_F(TemplateFormat, StandaloneHeaderSwitchesStringsToUtf8) {
  const std::string body =
      "<TfrxReport ScriptText.Text=\"Привет\"><TfrxReportPage Name=\"Page1\">"
      "<TfrxMasterData Name=\"MasterData1\"><TfrxMemoView Name=\"Memo1\" TagStr=\"метка\" "
      "Text=\"текст\"/></TfrxMasterData></TfrxReportPage></TfrxReport>";
  TfrxReport utf8;
  Load(utf8, "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>" + body);
  ASSERT_EQ(utf8.Errors().Count(), 0) << utf8.Errors().Text();
  auto* memo = static_cast<TfrxMemoView*>(utf8.FindObject("Memo1"));
  EXPECT_EQ(memo->tag_str, "метка");
  EXPECT_EQ(memo->Text(), "текст");
  EXPECT_EQ(utf8.script_text[0], "Привет");

  // The same bytes under this system's own header are taken as ANSI: each UTF-8 byte
  // becomes one 1251 character. Memo texts are UTF-8 either way.
  TfrxReport ansi;
  Load(ansi, "<?xml version=\"1.0\" encoding=\"utf-8\"?>" + body);
  memo = static_cast<TfrxMemoView*>(ansi.FindObject("Memo1"));
  EXPECT_EQ(memo->tag_str, core::ToUtf8(1251, "метка"));
  EXPECT_EQ(memo->Text(), "текст");
  EXPECT_EQ(ansi.script_text[0], core::ToUtf8(1251, "Привет"));
}

TEST_F(TemplateFormat, EmptyElementFormsAndEndTagCaseAreAccepted) {
  TfrxReport report;
  Load(report,
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
       "<TfrxReport>\r\n"
       "<TfrxReportPage Name=\"Page1\">\r\n"
       "<TfrxMasterData Name=\"MasterData1\" >\r\n"
       "<TfrxMemoView Name=\"Memo1\"/>\r\n"
       "<TfrxMemoView Name=\"Memo2\" />\r\n"
       "<TfrxLineView/>\r\n"
       "<TfrxShapeView />\r\n"
       "</tfrxmasterdata>\r\n"
       "</TFRXREPORTPAGE>\r\n"
       "</TfrxReport>");
  EXPECT_EQ(report.Errors().Count(), 0) << report.Errors().Text();
  TfrxComponent* band = report.FindObject("MasterData1");
  ASSERT_NE(band, nullptr);
  ASSERT_EQ(band->ObjectCount(), 4);
  EXPECT_EQ(band->Object(1)->Name(), "Memo2");
  EXPECT_STREQ(band->Object(2)->ClassName(), "TfrxLineView");
  EXPECT_STREQ(band->Object(3)->ClassName(), "TfrxShapeView");
}

TEST_F(TemplateFormat, UnknownElementClassSkipsItsSubtreeWithOneErrorLine) {
  TfrxReport report;
  Load(report,
       "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
       "<TfrxReport><TfrxReportPage Name=\"Page1\"><TfrxMasterData Name=\"MasterData1\">"
       "<TfrxMemoView Name=\"Memo1\"/>"
       "<TfrxChartView Name=\"Chart1\"><TfrxMemoView Name=\"Inside\"/></TfrxChartView>"
       "<TfrxMemoView Name=\"Memo2\"/>"
       "</TfrxMasterData></TfrxReportPage></TfrxReport>");
  ASSERT_EQ(report.Errors().Count(), 1);
  EXPECT_EQ(report.Errors()[0], "Не удалось найти класс TfrxChartView");
  EXPECT_NE(report.FindObject("Memo1"), nullptr);
  EXPECT_NE(report.FindObject("Memo2"), nullptr);
  EXPECT_EQ(report.FindObject("Inside"), nullptr);
  EXPECT_EQ(report.FindObject("Chart1"), nullptr);
}

TEST_F(TemplateFormat, NestedCollectionsTravelAsItemElements) {
  TfrxReport report;
  TfrxMemoView* memo = MakeMemoReport(report);
  memo->Formats().push_back(std::make_unique<TfrxFormat>());
  memo->Formats()[1]->kind = TfrxFormatKind::fkDateTime;
  memo->Formats()[1]->format_str = "dd.mm.yyyy";
  memo->Highlight().condition = "<Value> > 0";
  std::string bytes = Save(report);
  // Two formats: a Formats element, no DisplayFormat attributes; one highlight with a
  // condition: Highlight attributes.
  EXPECT_NE(bytes.find("<Formats>"), std::string::npos);
  EXPECT_EQ(bytes.find("DisplayFormat."), std::string::npos);
  EXPECT_NE(bytes.find("Highlight.Condition=\"&#60;Value&#62; &#62; 0\""), std::string::npos);
  TfrxReport again;
  Load(again, bytes);
  EXPECT_EQ(again.Errors().Count(), 0) << again.Errors().Text();
  auto* read = static_cast<TfrxMemoView*>(again.FindObject("Memo1"));
  ASSERT_EQ(read->Formats().size(), 2u);
  EXPECT_EQ(read->Formats()[1]->kind, TfrxFormatKind::fkDateTime);
  EXPECT_EQ(read->Formats()[1]->format_str, "dd.mm.yyyy");
  EXPECT_EQ(read->Highlight().condition, "<Value> > 0");
}

TEST_F(TemplateFormat, ReferencesResolveAfterTheWholeTreeIsRead) {
  TfrxReport report;
  auto* data = report.Add(std::make_unique<TfrxDataPage>());
  data->SetName("Data");
  auto* query = data->Add(std::make_unique<TfrxADOQuery>());
  query->SetName("ADOQuery1");
  TfrxMemoView* memo = MakeMemoReport(report);
  auto* band = static_cast<TfrxMasterData*>(memo->Parent());
  band->data_set.Set(query);
  report.AddDataSet(query, "ADOQuery1");
  // The data page comes after the band in the file: the reference still resolves.
  data->MoveTo(&report);
  TfrxReport again;
  Load(again, Save(report));
  ASSERT_EQ(again.Errors().Count(), 0) << again.Errors().Text();
  auto* read_band = static_cast<TfrxMasterData*>(again.FindObject("MasterData1"));
  EXPECT_EQ(read_band->data_set.Get(), again.FindObject("ADOQuery1"));
  EXPECT_EQ(again.DataSets()[0]->data_set.Get(), again.FindObject("ADOQuery1"));
  // A reference to a missing object stays empty, silently.
  TfrxReport missing;
  Load(missing,
       "<?xml version=\"1.0\"?><TfrxReport><TfrxReportPage Name=\"P\">"
       "<TfrxMasterData Name=\"M\" DataSet=\"Nowhere\"/></TfrxReportPage></TfrxReport>");
  EXPECT_EQ(missing.Errors().Count(), 0);
  EXPECT_EQ(static_cast<TfrxMasterData*>(missing.FindObject("M"))->data_set.Get(), nullptr);
}

TEST_F(TemplateFormat, DefinedPropertiesTravelAsPropData) {
  TfrxReport report;
  auto* data = report.Add(std::make_unique<TfrxDataPage>());
  data->SetName("Data");
  auto* query = data->Add(std::make_unique<TfrxADOQuery>());
  query->SetName("ADOQuery1");
  query->SetBounds(64, 40, 0, 0);
  TfrxParamItem& param = query->Params().Add();
  param.name = "p1";
  param.data_type = 3;  // ftInteger
  param.expression = "<vid>";
  param.value = core::Variant(int32_t{5});
  std::string bytes = Save(report);
  EXPECT_NE(bytes.find(" PropData=\""), std::string::npos);
  TfrxReport again;
  Load(again, bytes);
  auto* read = static_cast<TfrxADOQuery*>(again.FindObject("ADOQuery1"));
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Left(), 64);
  EXPECT_EQ(read->Top(), 40);
  ASSERT_EQ(read->Params().Count(), 1);
  EXPECT_EQ(read->Params().Items(0).name, "p1");
  EXPECT_EQ(read->Params().Items(0).data_type, 3);
  EXPECT_EQ(read->Params().Items(0).expression, "<vid>");
  EXPECT_EQ(read->Params().Items(0).value.AsInteger(), 5);
  // Garbage inside PropData is dropped silently; what was understood before stays.
  TfrxReport garbage;
  Load(garbage,
       "<?xml version=\"1.0\"?><TfrxReport><TfrxDataPage Name=\"Data\">"
       "<TfrxADOQuery Name=\"Q\" PropData=\"05704C6566740240FFFF\"/></TfrxDataPage>"
       "</TfrxReport>");
  EXPECT_EQ(garbage.Errors().Count(), 0);
  EXPECT_EQ(garbage.FindObject("Q")->Left(), 64);
}

TEST_F(TemplateFormat, PasswordIsStoredScrambled) {
  TfrxReport report;
  MakeMemoReport(report);
  report.report_options.password = "abc";
  std::string bytes = Save(report);
  EXPECT_NE(bytes.find("ReportOptions.Password=\"WXY\""), std::string::npos);
  EXPECT_EQ(report.report_options.password, "abc");
  // Without a user interface to ask, the load fails as a wrong answer would.
  TfrxReport again;
  Load(again, bytes);
  EXPECT_EQ(again.Errors().IndexOf("Invalid password"), 0);
  EXPECT_EQ(again.ObjectCount(), 0);
}

class AnsweringUi : public ReportUserInterface {
 public:
  void ShowErrorMessage(const std::string& caption, const std::string& text) override {
    shown += caption + "|" + text;
  }
  bool AskPassword(std::string& password) override {
    password = answer;
    return true;
  }
  std::string answer, shown;
};

TEST_F(TemplateFormat, PasswordAskedThroughTheInterfaceAndErrorsShown) {
  TfrxReport report;
  MakeMemoReport(report);
  report.report_options.password = "abc";
  std::string bytes = Save(report);
  AnsweringUi ui;
  ui.answer = "abc";
  TfrxReport again;
  again.SetUserInterface(&ui);
  Load(again, bytes);
  EXPECT_EQ(again.Errors().Count(), 0);
  EXPECT_NE(again.FindObject("Memo1"), nullptr);
  EXPECT_EQ(again.report_options.password, "abc");

  Load(again, "<?xml version=\"1.0\"?><TfrxReport><TfrxNoSuch/></TfrxReport>");
  EXPECT_EQ(ui.shown, "Ошибка|Были обнаружены следующие ошибки:\r\nНе удалось найти класс TfrxNoSuch");
}

TEST_F(TemplateFormat, ReThrowModeRaisesTheErrorText) {
  TfrxReport report;
  report.engine_options.new_silent_mode = TfrxSilentMode::simReThrow;
  core::TMemoryStream stream(std::string("<?xml version=\"1.0\"?><TfrxReport><TfrxNoSuch/></TfrxReport>"));
  try {
    report.LoadFromStream(stream);
    FAIL() << "no exception";
  } catch (const core::Exception& e) {
    EXPECT_EQ(std::string(e.what()),
              "Были обнаружены следующие ошибки:\r\nНе удалось найти класс TfrxNoSuch");
  }
}

TEST_F(TemplateFormat, CompactPreparedPageAttributes) {
  TfrxXMLSerializer serializer;
  std::unique_ptr<TfrxComponent> memo = serializer.CreateFromText(
      "TfrxMemoView l=\"1,5\" t=\"2\" w=\"30\" h=\"4.25\" u=\"текст\"");
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->Left(), 1.5);
  EXPECT_EQ(memo->Height(), 4.25);
  EXPECT_EQ(static_cast<TfrxMemoView*>(memo.get())->Text(), "текст");
  std::unique_ptr<TfrxComponent> ansi =
      serializer.CreateFromText("TfrxMemoView x=\"" + core::FromUtf8(1251, "текст") + "\"");
  EXPECT_EQ(static_cast<TfrxMemoView*>(ansi.get())->Text(), "текст");
  EXPECT_EQ(serializer.CreateFromText("TfrxNothing a=\"1\""), nullptr);
  EXPECT_EQ(serializer.Errors().Count(), 1);
}

TEST_F(TemplateFormat, FloatsAcceptBothSeparatorsAndBlanks) {
  TfrxXMLSerializer serializer;
  TfrxMemoView memo;
  serializer.ApplyAttributes("Left=\"1 234,5\" Top=\"7.25\" Name = \"M\"", memo);
  EXPECT_EQ(memo.Left(), 1234.5);
  EXPECT_EQ(memo.Top(), 7.25);
  EXPECT_EQ(memo.Name(), "M");
  EXPECT_EQ(serializer.Errors().Count(), 0);
}

}  // namespace
}  // namespace lgoty::report
