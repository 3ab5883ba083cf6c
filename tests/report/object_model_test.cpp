// The report object model: paper rules, defaults of a new report, names, lookups,
// ownership, references, Assign and the data page check.
#include <gtest/gtest.h>

#include <cmath>

#include "report/bands.h"
#include "report/data_sets.h"
#include "report/query_data_sets.h"
#include "report/dialog_controls.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

TEST(ReportPage, LandscapeSwitchSwapsPaperAndRotatesMargins) {
  TfrxReportPage page;
  page.SetPaperSize(kPaperA4);
  page.left_margin = 10;
  page.right_margin = 5;
  page.top_margin = 10;
  page.bottom_margin = 10;
  page.SetOrientation(TPrinterOrientation::poLandscape);
  EXPECT_EQ(page.PaperWidth(), 297);
  EXPECT_EQ(page.PaperHeight(), 210);
  EXPECT_EQ(page.left_margin, 10);
  EXPECT_EQ(page.right_margin, 10);
  EXPECT_EQ(page.top_margin, 5);
  EXPECT_EQ(page.bottom_margin, 10);
  EXPECT_EQ(page.Width(), std::round(297 * fr01cm));
  EXPECT_EQ(page.Height(), std::round(210 * fr01cm));
  EXPECT_EQ(page.PaperSize(), kPaperA4);
  // And back.
  page.SetOrientation(TPrinterOrientation::poPortrait);
  EXPECT_EQ(page.PaperWidth(), 210);
  EXPECT_EQ(page.left_margin, 10);
  EXPECT_EQ(page.right_margin, 5);
  EXPECT_EQ(page.top_margin, 10);
  EXPECT_EQ(page.bottom_margin, 10);
}

TEST(ReportPage, PaperWidthRoundsToEightDecimalsAndMakesCustomSize) {
  TfrxReportPage page;
  page.SetPaperWidth(210.123456789);
  EXPECT_EQ(page.PaperWidth(), 210.12345679);
  EXPECT_EQ(page.PaperSize(), kPaperCustom);
  EXPECT_EQ(page.Width(), std::round(210.12345679 * fr01cm));
  // A standard size takes its dimensions from the table, swapped for landscape.
  page.SetOrientation(TPrinterOrientation::poLandscape);
  page.SetPaperSize(11);  // A5
  EXPECT_EQ(page.PaperWidth(), 210);
  EXPECT_EQ(page.PaperHeight(), 148);
  // An unknown number keeps the dimensions.
  page.SetPaperSize(200);
  EXPECT_EQ(page.PaperWidth(), 210);
}

TEST(ReportPage, PrintableWidthAndColumns) {
  TfrxReportPage page;
  page.left_margin = 10;
  page.right_margin = 5;
  EXPECT_NEAR(page.PrintableWidth(), 737.00835, 1e-9);
  page.SetColumns(3);
  EXPECT_NEAR(page.column_width, 65, 1e-12);
  ASSERT_EQ(page.ColumnPositions().Count(), 3);
  EXPECT_EQ(page.ColumnPositions()[2], "130");
  page.SetPageCount(0);
  EXPECT_EQ(page.PageCount(), 1);
}

TEST(ReportPage, SavedPagesReloadWithTheirPaperSize) {
  for (int orientation = 0; orientation < 2; ++orientation) {
    for (bool custom : {false, true}) {
      TfrxReport report;
      auto* page = report.Add(std::make_unique<TfrxReportPage>());
      page->SetName("Page1");
      page->left_margin = 10;
      page->right_margin = 5;
      page->top_margin = 10;
      page->bottom_margin = 10;
      page->SetOrientation(static_cast<TPrinterOrientation>(orientation));
      if (custom) page->SetPaperWidth(123.5);
      core::TMemoryStream stream;
      report.SaveToStream(stream);
      stream.SetPosition(0);
      TfrxReport again;
      again.LoadFromStream(stream);
      auto* read = static_cast<TfrxReportPage*>(again.FindObject("Page1"));
      SCOPED_TRACE(testing::Message() << orientation << custom);
      EXPECT_EQ(read->Orientation(), page->Orientation());
      EXPECT_EQ(read->PaperSize(), page->PaperSize());
      EXPECT_EQ(read->PaperWidth(), page->PaperWidth());
      EXPECT_EQ(read->PaperHeight(), page->PaperHeight());
      EXPECT_EQ(read->left_margin, page->left_margin);
      EXPECT_EQ(read->top_margin, page->top_margin);
    }
  }
}

TEST(Report, NewReportIsClearedWithScriptDefaults) {
  TfrxReport report;
  EXPECT_EQ(report.ObjectCount(), 0);
  EXPECT_EQ(report.script_language, "PascalScript");
  ASSERT_EQ(report.script_text.Count(), 3);
  EXPECT_EQ(report.script_text.Text(), "begin\r\n\r\nend.\r\n");
  EXPECT_EQ(report.Version(), "5.2.3");
  EXPECT_EQ(report.ini_file, "\\Software\\Quorvane");
  EXPECT_TRUE(report.DataSets().empty());
  EXPECT_TRUE(report.Variables().empty());
  EXPECT_TRUE(report.Styles().empty());
  EXPECT_GT(report.report_options.create_date, 40000);

  report.Add(std::make_unique<TfrxReportPage>())->SetName("Page1");
  report.script_language = "JScript";
  report.AddVariable("v", core::Variant(1));
  report.engine_options.double_pass = true;
  report.Clear();
  EXPECT_EQ(report.ObjectCount(), 0);
  EXPECT_EQ(report.script_language, "PascalScript");
  EXPECT_TRUE(report.Variables().empty());
  EXPECT_FALSE(report.engine_options.double_pass);
  EXPECT_EQ(report.FindByName("Page1"), nullptr);
}

TEST(Report, LoadRevertsEngineAndPreviewOptionsExceptTheKeptOnes) {
  TfrxReport source;
  source.engine_options.double_pass = true;
  source.engine_options.max_mem_size = 99;
  source.preview_options.outline_visible = true;
  source.preview_options.modal = false;
  core::TMemoryStream stream;
  source.SaveToStream(stream);
  stream.SetPosition(0);
  TfrxReport target;
  target.engine_options.max_mem_size = 7;
  target.LoadFromStream(stream);
  EXPECT_TRUE(target.engine_options.double_pass);
  EXPECT_EQ(target.engine_options.max_mem_size, 7);
  EXPECT_TRUE(target.preview_options.outline_visible);
  EXPECT_TRUE(target.preview_options.modal);
}

TEST(Component, NamesAreIdentifiersUniqueWithoutRegardToCase) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("Page1");
  auto* band = page->Add(std::make_unique<TfrxMasterData>());
  band->CreateUniqueName();
  EXPECT_EQ(band->Name(), "MasterData1");
  auto* memo = band->Add(std::make_unique<TfrxMemoView>());
  memo->CreateUniqueName();
  EXPECT_EQ(memo->Name(), "Memo1");
  auto* memo2 = band->Add(std::make_unique<TfrxMemoView>());
  memo2->CreateUniqueName();
  EXPECT_EQ(memo2->Name(), "Memo2");
  EXPECT_THROW(memo2->SetName("MEMO1"), EComponentError);
  EXPECT_THROW(memo2->SetName("1Memo"), EComponentError);
  EXPECT_THROW(memo2->SetName("a b"), EComponentError);
  EXPECT_EQ(memo2->Name(), "Memo2");
  EXPECT_EQ(report.FindObject("memo2"), memo2);
  EXPECT_EQ(report.FindByName("PAGE1"), page);
  // A report page's automatic name is "Page"; a dialog control drops "Control".
  EXPECT_EQ(TfrxReportPage().BaseName(), "Page");
  EXPECT_EQ(TfrxCheckBoxControl().BaseName(), "CheckBox");
  EXPECT_EQ(TfrxPictureView().BaseName(), "Picture");
}

TEST(Component, AllObjectsIsDepthFirstAndReportIsNotInIt) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  auto* b1 = page->Add(std::make_unique<TfrxReportTitle>());
  auto* m1 = b1->Add(std::make_unique<TfrxMemoView>());
  auto* b2 = page->Add(std::make_unique<TfrxPageFooter>());
  std::vector<TfrxComponent*> expected{page, b1, m1, b2};
  EXPECT_EQ(report.AllObjects(), expected);
  EXPECT_EQ(m1->Report(), &report);
  EXPECT_EQ(m1->Page(), page);
}

TEST(Component, ReferencesAreClearedWhenTheTargetGoes) {
  TfrxReport report;
  auto* data = report.Add(std::make_unique<TfrxDataPage>());
  auto* query = data->Add(std::make_unique<TfrxADOQuery>());
  query->SetName("Q");
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  auto* band = page->Add(std::make_unique<TfrxMasterData>());
  band->data_set.Set(query);
  TfrxDataSetItem& item = report.AddDataSet(query, "Q");
  EXPECT_EQ(band->DataSetName(), "Q");
  data->Release(query);  // freed here
  EXPECT_EQ(band->data_set.Get(), nullptr);
  EXPECT_EQ(item.data_set.Get(), nullptr);
  EXPECT_EQ(report.FindByName("Q"), nullptr);
}

TEST(Component, MoveToChangesParentAndFollowsTheParentFont) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  auto* a = page->Add(std::make_unique<TfrxMasterData>());
  auto* b = page->Add(std::make_unique<TfrxPageFooter>());
  b->SetParentFont(false);
  b->Font().name = "Courier New";
  auto* memo = a->Add(std::make_unique<TfrxMemoView>());
  EXPECT_EQ(memo->Font().name, "Arial");
  memo->MoveTo(b);
  EXPECT_EQ(memo->Parent(), b);
  EXPECT_EQ(a->ObjectCount(), 0);
  EXPECT_EQ(memo->Font().name, "Courier New");
}

TEST(Component, ClearKeepsInheritedChildren) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetInherited(true);
  page->Add(std::make_unique<TfrxMasterData>());
  report.Add(std::make_unique<TfrxReportPage>());
  report.Clear();
  ASSERT_EQ(report.ObjectCount(), 1);
  EXPECT_EQ(report.Object(0), page);
  EXPECT_EQ(page->ObjectCount(), 0);
}

TEST(Component, AssignCopiesPublishedPropertiesThroughTheSerializer) {
  TfrxMemoView source;
  source.SetBounds(1, 2, 3, 4);
  source.SetText("текст & <b>");
  source.Frame().typ = frame_typ::ftLeft | frame_typ::ftTop;
  source.halign = TfrxHAlign::haBlock;
  source.SetFillType(TfrxFillType::ftGradient);
  static_cast<TfrxGradientFill&>(source.Fill()).end_color = 255;
  TfrxMemoView target;
  target.Assign(source);
  EXPECT_EQ(target.Left(), 1);
  EXPECT_EQ(target.Height(), 4);
  EXPECT_EQ(target.Text(), "текст & <b>");
  EXPECT_EQ(target.Frame().typ, 5u);
  EXPECT_EQ(target.halign, TfrxHAlign::haBlock);
  ASSERT_EQ(target.FillType(), TfrxFillType::ftGradient);
  EXPECT_EQ(static_cast<TfrxGradientFill&>(target.Fill()).end_color, 255);
}

TEST(Frame, LinesFollowTheFrameAndAreStoredOnlyWhenDifferent) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("P");
  auto* band = page->Add(std::make_unique<TfrxMasterData>());
  band->SetName("B");
  auto* memo = band->Add(std::make_unique<TfrxMemoView>());
  memo->SetName("M");
  memo->Frame().SetColor(255);
  memo->Frame().SetWidth(2);
  memo->Frame().left_line.color = 0xFF00;
  EXPECT_EQ(memo->Frame().top_line.color, 255);
  core::TMemoryStream stream;
  report.SaveToStream(stream);
  const std::string& bytes = stream.Bytes();
  EXPECT_NE(bytes.find(" Frame.Color=\"255\""), std::string::npos);
  EXPECT_NE(bytes.find(" Frame.Width=\"2\""), std::string::npos);
  EXPECT_NE(bytes.find(" Frame.LeftLine.Color=\"65280\""), std::string::npos);
  EXPECT_EQ(bytes.find("Frame.TopLine"), std::string::npos);
  stream.SetPosition(0);
  TfrxReport again;
  again.LoadFromStream(stream);
  auto* read = static_cast<TfrxMemoView*>(again.FindObject("M"));
  EXPECT_EQ(read->Frame().left_line.color, 0xFF00);
  EXPECT_EQ(read->Frame().bottom_line.color, 255);
  EXPECT_EQ(read->Frame().right_line.width, 2);
}

TEST(Report, CheckDataPageCreatesItFirstAndGathersDialogComponents) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("Data");  // the name is taken
  auto* dialog = report.Add(std::make_unique<TfrxDialogPage>());
  auto* q1 = dialog->Add(std::make_unique<TfrxADOQuery>());
  auto* q2 = dialog->Add(std::make_unique<TfrxADODatabase>());
  TfrxDataPage* data = report.CheckDataPage();
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(report.Object(0), data);
  EXPECT_EQ(data->Name(), "DataPage1");
  EXPECT_EQ(data->Width(), 1000);
  EXPECT_EQ(q1->Parent(), data);
  EXPECT_EQ(q2->Parent(), data);
  EXPECT_EQ(q1->Left(), 60);
  EXPECT_EQ(q2->Left(), 124);
  EXPECT_EQ(q2->Top(), 20);
  EXPECT_EQ(report.CheckDataPage(), data);
}

TEST(DataBand, VirtualDataSetCountsRowCountRows) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  auto* band = page->Add(std::make_unique<TfrxMasterData>());
  band->row_count = 3;
  TfrxUserDataSet& rows = band->VirtualDataSet();
  EXPECT_EQ(rows.range_end, TfrxRangeEnd::reCount);
  EXPECT_EQ(rows.range_end_count, 3);
  EXPECT_EQ(rows.Parent(), nullptr);
  EXPECT_EQ(page->AllObjects().size(), 1u);
}

TEST(DataSet, UserNameFollowsRenamesAndRefusesBlank) {
  TfrxReport report;
  auto* data = report.Add(std::make_unique<TfrxDataPage>());
  auto* query = data->Add(std::make_unique<TfrxADOQuery>());
  query->SetName("ADOQuery1");
  EXPECT_EQ(query->UserName(), "ADOQuery1");
  query->SetName("Q2");
  EXPECT_EQ(query->UserName(), "Q2");
  query->SetUserName("Пациенты");
  query->SetName("Q3");
  EXPECT_EQ(query->UserName(), "Пациенты");
  EXPECT_THROW(query->SetUserName("  "), core::Exception);
  EXPECT_EQ(query->UserName(), "Пациенты");
}

TEST(DialogControl, CaptionFollowsRenameAndCheckedDrivesState) {
  TfrxReport report;
  auto* dialog = report.Add(std::make_unique<TfrxDialogPage>());
  auto* button = dialog->Add(std::make_unique<TfrxButtonControl>());
  button->SetName("Button1");
  button->caption = "Button1";
  button->SetName("OkButton");
  EXPECT_EQ(button->caption, "OkButton");
  button->caption = "ОК";
  button->SetName("B2");
  EXPECT_EQ(button->caption, "ОК");
  EXPECT_EQ(button->Font().name, "Tahoma");  // the dialog page's font
  TfrxCheckBoxControl check;
  check.SetChecked(true);
  EXPECT_EQ(check.State(), TCheckBoxState::cbChecked);
  check.SetState(TCheckBoxState::cbGrayed);
  EXPECT_FALSE(check.Checked());
  EXPECT_EQ(check.Width(), 97);
}

TEST(DialogPage, ClientSizeDrivesTheOuterSize) {
  TfrxDialogPage page;
  page.border_style = TFormBorderStyle::bsDialog;
  page.SetClientWidth(116);
  page.SetClientHeight(103);
  EXPECT_EQ(page.Width(), 132);
  EXPECT_EQ(page.Height(), 141);
  // While loading, an outer size does not override a client size already set.
  page.SetLoading(true);
  page.SetWidth(500);
  EXPECT_EQ(page.Width(), 132);
  page.SetLoading(false);
  page.SetWidth(200);
  EXPECT_EQ(page.ClientWidth(), 184);
}

TEST(Rtti, ReportClassesAreRegisteredWithTheirTables) {
  RegisterReportClasses();
  auto& registry = core::ClassRegistry::Instance();
  for (const char* name :
       {"TfrxReport", "TfrxReportPage", "TfrxDataPage", "TfrxDialogPage", "TfrxMemoView",
        "TfrxSysMemoView", "TfrxPictureView", "TfrxShapeView", "TfrxLineView", "TfrxSubreport",
        "TfrxReportTitle", "TfrxReportSummary", "TfrxPageHeader", "TfrxPageFooter",
        "TfrxColumnHeader", "TfrxColumnFooter", "TfrxHeader", "TfrxFooter", "TfrxGroupHeader",
        "TfrxGroupFooter", "TfrxChild", "TfrxOverlay", "TfrxNullBand", "TfrxMasterData",
        "TfrxDetailData", "TfrxSubdetailData", "TfrxDataBand4", "TfrxDataBand5",
        "TfrxDataBand6", "TfrxUserDataSet", "TfrxDBDataset", "TfrxADOQuery", "TfrxADOTable",
        "TfrxADODatabase", "TfrxButtonControl", "TfrxCheckBoxControl", "TfrxEditControl",
        "TfrxDBLookupComboBox"}) {
    const core::ClassInfo* info = registry.Find(name);
    ASSERT_NE(info, nullptr) << name;
    EXPECT_TRUE(info->CanCreate()) << name;
    auto object = info->Create();
    EXPECT_STREQ(object->ClassName(), name);
    EXPECT_EQ(object->ClassType(), info);
  }
  const core::ClassInfo* memo = registry.Find("TfrxMemoView");
  EXPECT_TRUE(memo->InheritsFrom("TfrxView"));
  // Base class properties come first: Name and Tag, then Description, then the view's.
  const auto& props = memo->Properties();
  EXPECT_EQ(props[0]->name, "Name");
  EXPECT_EQ(props[1]->name, "Tag");
  EXPECT_EQ(props[2]->name, "Description");
  EXPECT_EQ(props[3]->name, "Align");
  EXPECT_TRUE(memo->FindProperty("OnBeforePrint")->IsEvent());
  // The system memo leaves out some of the memo's properties.
  const core::ClassInfo* sys = registry.Find("TfrxSysMemoView");
  EXPECT_EQ(sys->FindProperty("AllowExpressions"), nullptr);
  EXPECT_EQ(sys->FindProperty("FlowTo"), nullptr);
  EXPECT_NE(sys->FindProperty("HAlign"), nullptr);
  EXPECT_FALSE(registry.Find("TfrxView")->CanCreate());
}

}  // namespace
}  // namespace lgoty::report
