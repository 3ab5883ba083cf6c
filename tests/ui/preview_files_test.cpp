// The preview's PDF export and its page settings form.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QDoubleSpinBox>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

#include "core/exception.h"
#include "qt_test_support.h"
#include "report/printer.h"
#include "ui/page_settings_form.h"
#include "ui/pdf_export.h"
#include "ui/print_dialog.h"

namespace lgoty::ui {
namespace {

// Page 1 is A4 portrait, page 2 A4 landscape, page 3 A5.
class MixedPages : public PreviewDocument {
 public:
  int PageCount() override { return 3; }
  QSize PageSize(int index) override {
    static const QSize sizes[] = {{794, 1123}, {1123, 794}, {559, 794}};
    return index >= 0 && index < 3 ? sizes[index] : QSize();
  }
  void DrawPage(int index, QPainter& painter, double zoom, QPointF offset) override {
    drawn.push_back(index);
    painter.save();
    painter.translate(offset);
    painter.scale(zoom, zoom);
    painter.drawText(QPointF(50, 50), QString("Лист %1").arg(index + 1));
    painter.restore();
  }
  std::vector<PreviewTextRun> PageTexts(int) override { return {}; }
  std::vector<PreviewOutlineNode> Outline() override { return {}; }
  void SaveToFile(const std::string&) override {}
  bool LoadFromFile(const std::string&) override { return false; }
  std::vector<int> drawn;
};

QString PdfInfo(const QString& path, const QStringList& extra = {}) {
  QProcess info;
  info.start("pdfinfo", extra + QStringList{path});
  info.waitForFinished(30000);
  return QString::fromUtf8(info.readAllStandardOutput());
}

TEST(PdfExport, EveryPageAtItsOwnSize) {
  lgoty::testing::TestApp();
  QTemporaryDir dir;
  MixedPages pages;
  QString path = dir.filePath("list.pdf");
  ExportToPdf(pages, path, "Список");
  EXPECT_EQ(pages.drawn, (std::vector<int>{0, 1, 2}));
  QString info = PdfInfo(path, {"-f", "1", "-l", "3"});
  if (info.isEmpty()) GTEST_SKIP() << "pdfinfo is not installed";
  EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+3"))) << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression("Title:\\s+Список"))) << info.toStdString();
  // A4 is 595 x 842 points; lying it is the other way round; A5 is 420 points wide.
  EXPECT_TRUE(info.contains(QRegularExpression("Page\\s+1 size:\\s+595(\\.\\d+)? x 842"))) << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression("Page\\s+2 size:\\s+842(\\.\\d+)? x 595"))) << info.toStdString();
  EXPECT_TRUE(info.contains(QRegularExpression("Page\\s+3 size:\\s+(419|420)(\\.\\d+)? x 595"))) << info.toStdString();
}

TEST(PdfExport, AnUnwritableFileIsAnErrorAndAPageRangeIsKept) {
  lgoty::testing::TestApp();
  MixedPages pages;
  EXPECT_THROW(ExportToPdf(pages, "/nonexistent-folder/x.pdf", ""), core::Exception);
  EXPECT_TRUE(pages.drawn.empty());
  QTemporaryDir dir;
  ExportToPdf(pages, dir.filePath("two.pdf"), "", 2, 0);
  EXPECT_EQ(pages.drawn, (std::vector<int>{1, 2}));
}

TEST(FileNames, ExtensionIsReplacedOrAdded) {
  EXPECT_EQ(WithExtension("/tmp/list.txt", ".prn"), "/tmp/list.prn");
  EXPECT_EQ(WithExtension("/tmp/list", ".fp3"), "/tmp/list.fp3");
  EXPECT_EQ(WithExtension("/tmp/a.b/list", ".pdf"), "/tmp/a.b/list.pdf");
}

TEST(PageSettings, SizeAndOrientationComeFromThePrinterAndUnitsAreCentimetres) {
  lgoty::testing::TestApp();
  report::TfrxVirtualPrinter printer("Виртуальный");
  printer.Init();
  PageSetup setup;  // A4 portrait, 10 mm margins
  TfrxPageSettingsForm form(setup, printer, false);
  EXPECT_EQ(form.windowTitle(), "Настройки страницы");
  EXPECT_EQ(form.SizeBox()->currentData().toInt(), 9);
  EXPECT_DOUBLE_EQ(form.WidthBox()->value(), 21.0);
  EXPECT_DOUBLE_EQ(form.LeftBox()->value(), 1.0);
  form.Landscape()->setChecked(true);
  EXPECT_DOUBLE_EQ(form.WidthBox()->value(), 29.7);
  EXPECT_DOUBLE_EQ(form.HeightBox()->value(), 21.0);
  form.SizeBox()->setCurrentIndex(form.SizeBox()->findData(11));  // A5
  EXPECT_DOUBLE_EQ(form.WidthBox()->value(), 21.0);
  EXPECT_DOUBLE_EQ(form.HeightBox()->value(), 14.8);
  form.TopBox()->setValue(2.5);
  form.ApplyToAll()->setChecked(true);
  PageSetup result = form.Result();
  EXPECT_EQ(result.paper, 11);
  EXPECT_EQ(result.orientation, report::TPrinterOrientation::poLandscape);
  EXPECT_DOUBLE_EQ(result.width, 210);
  EXPECT_DOUBLE_EQ(result.top, 25);
  EXPECT_TRUE(result.all_pages);

  // In inches; a paper the printer does not know shows the custom entry.
  setup.paper = 4000;
  TfrxPageSettingsForm inches(setup, printer, true);
  EXPECT_EQ(inches.SizeBox()->currentData().toInt(), 256);
  EXPECT_NEAR(inches.WidthBox()->value(), 210 / 25.4, 0.01);
}

TEST(PageSettings, OkRefusesMarginsThatLeaveNoRoomOnThePage) {
  lgoty::testing::TestApp();
  report::TfrxVirtualPrinter printer("Виртуальный");
  printer.Init();
  PageSetup setup;  // A4 portrait: 21 x 29.7 cm
  TfrxPageSettingsForm form(setup, printer, false);
  form.LeftBox()->setValue(12);
  form.RightBox()->setValue(9);  // 21 cm of margins on a 21 cm page
  form.accept();
  EXPECT_NE(form.result(), QDialog::Accepted);
  EXPECT_FALSE(form.ProblemLabel()->isHidden());
  EXPECT_TRUE(form.ProblemLabel()->text().contains(QString::fromUtf8("ширины")));
  form.RightBox()->setValue(8.9);
  form.TopBox()->setValue(20);
  form.BottomBox()->setValue(10);
  EXPECT_TRUE(form.Problem().contains(QString::fromUtf8("высоты")));
  form.BottomBox()->setValue(9.6);
  form.HeightBox()->setValue(0);
  EXPECT_FALSE(form.Problem().isEmpty());
  form.HeightBox()->setValue(29.7);
  EXPECT_TRUE(form.Problem().isEmpty());
  form.accept();
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

class TwoPrinters : public report::PrinterSystem {
 public:
  std::vector<std::string> PrinterNames() override { return {"Первый", "Второй"}; }
  std::string DefaultPrinterName() override { return "Первый"; }
  std::unique_ptr<report::TfrxCustomPrinter> CreatePrinter(const std::string& name) override {
    return std::make_unique<report::TfrxVirtualPrinter>(name);
  }
};

TEST(PrintDialog, WritesTheChoicesBackAndAsksForThePrintFile) {
  lgoty::testing::TestApp();
  TwoPrinters system;
  report::TfrxPrinters printers(&system);
  report::PrintRequest request;
  request.current_page = 4;
  TfrxPrintDialog dialog(request, printers);
  EXPECT_EQ(dialog.windowTitle(), "Печать");
  EXPECT_TRUE(dialog.AllPages()->isChecked());
  dialog.CurrentPage()->setChecked(true);
  dialog.Copies()->setValue(3);
  dialog.Collate()->setChecked(false);
  dialog.PrintPagesBox()->setCurrentIndex(2);
  dialog.Reverse()->setChecked(true);
  dialog.ModeBox()->setCurrentIndex(3);
  dialog.SheetBox()->setCurrentIndex(dialog.SheetBox()->findData(8));
  dialog.DuplexBox()->setCurrentIndex(1);
  dialog.PrintToFile()->setChecked(true);
  dialog.ask_file_name = [] { return QString("/tmp/out.txt"); };
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(request.options.page_numbers, "4");
  EXPECT_EQ(request.options.copies, 3);
  EXPECT_FALSE(request.options.collate);
  EXPECT_EQ(request.options.print_pages, report::TfrxPrintPages::ppEven);
  EXPECT_TRUE(request.options.reverse);
  EXPECT_EQ(request.options.print_mode, report::TfrxPrintMode::pmScale);
  EXPECT_EQ(request.options.print_on_sheet, 8);
  EXPECT_EQ(request.duplex, report::TfrxDuplexMode::dmVertical);
  EXPECT_EQ(request.output_file, "/tmp/out.prn");
}

TEST(PrintDialog, CancellingThePrintFileOrTheDialogKeepsThePrinter) {
  lgoty::testing::TestApp();
  TwoPrinters system;
  report::TfrxPrinters printers(&system);
  report::PrintRequest request;
  {
    TfrxPrintDialog dialog(request, printers);
    dialog.PrinterBox()->setCurrentIndex(1);
    EXPECT_EQ(printers.PrinterIndex(), 1);
    dialog.reject();
    EXPECT_EQ(printers.PrinterIndex(), 0);
  }
  TfrxPrintDialog dialog(request, printers);
  dialog.Numbers()->setChecked(true);
  dialog.PageBox()->setText("1,3");
  dialog.PrintToFile()->setChecked(true);
  dialog.ask_file_name = [] { return QString(); };
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(request.options.page_numbers, "");
}

}  // namespace
}  // namespace lgoty::ui
