#include "spisok1_builder.h"

#include "core/date_time.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/query_data_sets.h"
#include "report/dialog_controls.h"
#include "report/pages.h"
#include "report/views.h"

namespace lgoty::report::testing {
namespace {

TfrxMemoView* AddMemo(TfrxBand* band, const char* name, double left, double top, double width,
                      double height, const char* text) {
  auto* memo = band->Add(std::make_unique<TfrxMemoView>());
  memo->SetName(name);
  memo->SetBounds(left, top, width, height);
  memo->SetText(text);
  return memo;
}

void SetFont(TfrxComponent* c, int height, bool bold) {
  c->SetParentFont(false);
  c->Font().name = "Arial";
  c->Font().height = height;
  c->Font().style = bold ? font_style::fsBold : 0;
}

// A column cell: framed on all four sides.
TfrxMemoView* AddCell(TfrxBand* band, const char* name, double left, double top, double width,
                      double height, const char* text) {
  TfrxMemoView* memo = AddMemo(band, name, left, top, width, height, text);
  memo->Frame().typ = frame_typ::kAll;
  return memo;
}

}  // namespace

void BuildSpisok1(TfrxReport& report) {
  report.Clear();
  report.script_language = "PascalScript";
  report.engine_options.double_pass = true;
  report.preview_options.buttons = kDefaultPreviewButtons;
  report.preview_options.zoom = 1;
  report.report_options.create_date = core::EncodeDate(2012, 10, 3) + core::EncodeTime(11, 8, 40, 0);
  report.report_options.last_change = core::EncodeDate(2013, 2, 14) + core::EncodeTime(9, 46, 5, 0);
  report.script_text.Clear();
  for (const char* line : {"",
                           "procedure Button1OnClick(Sender: TfrxComponent);",
                           "var s:string;",
                           "begin",
                           "  s:='select * from '''+<OFName>+'''';",
                           "  if CheckBox1.Checked=true then s:=s+' WHERE SUMPAY>0';",
                           "  s:=s+' ORDER BY FAMIL, IMJA, OTCH ';",
                           " ADOQuery1.SQL.Add(s);",
                           "end;",
                           "",
                           "begin",
                           "",
                           "end."}) {
    report.script_text.Add(line);
  }

  // Data page with the query.
  auto* data = report.Add(std::make_unique<TfrxDataPage>());
  data->SetName("Data");
  auto* query = data->Add(std::make_unique<TfrxADOQuery>());
  query->SetName("ADOQuery1");
  query->SetUserName("ADOQuery1");
  query->SetLeft(64);
  query->SetTop(40);
  query->SetCommandTimeout(30);
  query->SetLockType(TADOLockType::ltReadOnly);

  report.AddDataSet(query, "ADOQuery1");
  for (const char* name : {" New Category1", "OFile", "vid", "usl"}) {
    report.AddVariable(name, core::Variant(""));
  }

  // Report page.
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("Page1");
  page->SetPaperSize(kPaperA4);
  page->left_margin = 10;
  page->right_margin = 5;
  page->top_margin = 10;
  page->bottom_margin = 10;
  page->on_before_print = "Page1OnBeforePrint";
  const double band_width = page->PrintableWidth();

  auto* title = page->Add(std::make_unique<TfrxReportTitle>());
  title->SetName("ReportTitle1");
  title->SetBounds(0, 18.9, band_width, 45.35);
  title->stretched = true;
  TfrxMemoView* memo18 =
      AddMemo(title, "Memo18", 7.56, 3.78, 725.67, 18.9, "Список льготников по услуге: [usl]");
  SetFont(memo18, -13, true);
  memo18->stretch_mode = TfrxStretchMode::smActualHeight;
  TfrxMemoView* memo2 = AddMemo(title, "Memo2", 170.08, 26.46, 563.15, 15.12, "[OFile]");
  SetFont(memo2, -11, false);
  memo2->halign = TfrxHAlign::haRight;

  auto* header = page->Add(std::make_unique<TfrxPageHeader>());
  header->SetName("PageHeader1");
  header->SetBounds(0, 86.93, band_width, 41.57);
  struct HeaderCell {
    const char* name;
    double left, top, width, height;
    const char* text;
  };
  const HeaderCell header_cells[] = {
      {"Memo7", 0, 0, 37.8, 37.8, "№ п.п."},
      {"Memo8", 37.8, 0, 98.27, 37.8, "№ карточки"},
      {"Memo4", 136.06, 0, 287.24, 37.8, "Фамилия Имя Отчество\r\n "},
      {"Memo5", 423.31, 0, 98.27, 37.8, "Документ \r\nсерия, №"},
      {"Memo12", 521.58, 0, 139.84, 18.9,
       "[IIF(<vid>=1,'Рецепт',IIF(<vid>=2,'Наряд','' ))]"},
      {"Memo13", 521.58, 22.68, 68.03, 18.9, "№"},
      {"Memo14", 589.61, 22.68, 71.81, 18.9, "Дата"},
      {"Memo6", 661.42, 0, 75.59, 37.8, "Сумма\r\n(руб.)"},
  };
  for (const HeaderCell& c : header_cells) {
    TfrxMemoView* memo = AddCell(header, c.name, c.left, c.top, c.width, c.height, c.text);
    SetFont(memo, -13, true);
    memo->halign = TfrxHAlign::haCenter;
  }

  auto* master = page->Add(std::make_unique<TfrxMasterData>());
  master->SetName("MasterData1");
  master->SetBounds(0, 151.18, band_width, 18.9);
  master->data_set.Set(query);
  master->SetDataSetName("ADOQuery1");
  master->row_count = 0;
  master->stretched = true;
  struct DataCell {
    const char* name;
    double left, width;
    TfrxHAlign halign;
    bool own_font;
    const char* text;
  };
  const DataCell data_cells[] = {
      {"Memo9", 0, 37.8, TfrxHAlign::haCenter, false, "[Line#]"},
      {"Memo10", 37.8, 98.27, TfrxHAlign::haLeft, false, "[ADOQuery1.\"PYNKAR\"]"},
      {"Memo3", 136.06, 287.24, TfrxHAlign::haLeft, false,
       "[ADOQuery1.\"FAMIL\"] [ADOQuery1.\"IMJA\"] [ADOQuery1.\"OTCH\"]"},
      {"Memo1", 423.31, 98.27, TfrxHAlign::haLeft, false,
       "[ADOQuery1.\"DOC_SER\"] [ADOQuery1.\"DOC_NUM\"] "},
      {"Memo15", 521.58, 68.03, TfrxHAlign::haCenter, true,
       "[IIF(<vid>=1,<ADOQuery1.\"RECEPT\">,IIF(<vid>=2,<ADOQuery1.\"NARYD\">, ''))]"},
      {"Memo16", 589.61, 71.81, TfrxHAlign::haRight, true,
       "[IIF(<vid>=1,<ADOQuery1.\"DATERCPT\">,IIF(<vid>=2,<ADOQuery1.\"DATENRD\">, ''))]"},
      {"Memo17", 661.42, 75.59, TfrxHAlign::haRight, false, "[ADOQuery1.\"SUMPAY\"]"},
  };
  for (const DataCell& c : data_cells) {
    TfrxMemoView* memo = AddCell(master, c.name, c.left, 0, c.width, 18.9, c.text);
    memo->halign = c.halign;
    memo->stretch_mode = TfrxStretchMode::smMaxHeight;
    if (c.own_font) SetFont(memo, -13, false);
  }
  TfrxMemoView* memo17 = static_cast<TfrxMemoView*>(master->FindObject("Memo17"));
  memo17->DisplayFormat().kind = TfrxFormatKind::fkNumeric;
  memo17->DisplayFormat().format_str = "%2.2n";
  memo17->DisplayFormat().decimal_separator = ",";

  auto* summary = page->Add(std::make_unique<TfrxReportSummary>());
  summary->SetName("ReportSummary1");
  summary->SetBounds(0, 230.55, band_width, 34.02);
  TfrxMemoView* memo11 = AddMemo(
      summary, "Memo11", 15.12, 11.34, 445.98, 18.9,
      "Всего: записей - [COUNT(MasterData1)] на сумму :  [SUM(<ADOQuery1.\"SUMPAY\">,MasterData1)]");
  SetFont(memo11, -13, true);

  auto* footer = page->Add(std::make_unique<TfrxPageFooter>());
  footer->SetName("PageFooter1");
  footer->SetBounds(0, 287.24, band_width, 22.68);
  TfrxMemoView* memo19 =
      AddMemo(footer, "Memo19", 506.46, 0, 222.99, 18.9, "страница [Page#] из [TotalPages]");
  memo19->halign = TfrxHAlign::haRight;

  // Dialog page.
  auto* dialog = report.Add(std::make_unique<TfrxDialogPage>());
  dialog->SetName("DialogPage1");
  dialog->caption = "параметры";
  dialog->border_style = TFormBorderStyle::bsDialog;
  dialog->SetClientWidth(116);
  dialog->SetClientHeight(103);
  dialog->SetLeft(265);
  dialog->SetTop(150);
  dialog->on_activate = "DialogPage1OnActivate";
  auto* check = dialog->Add(std::make_unique<TfrxCheckBoxControl>());
  check->SetName("CheckBox1");
  check->caption = "Больше 0";
  check->SetChecked(true);
  check->SetBounds(20, 24, 69, 17);
  auto* button = dialog->Add(std::make_unique<TfrxButtonControl>());
  button->SetName("Button1");
  button->caption = "ОК";
  button->modal_result = 1;
  button->SetBounds(16, 68, 75, 25);
  button->on_click = "Button1OnClick";
}

}  // namespace lgoty::report::testing
