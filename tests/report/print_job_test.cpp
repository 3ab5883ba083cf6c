// Printing as a whole: the printer list, printer choice by name, the dialog's choices
// applying to one print only, the messages, the document title and the output file.
#include <gtest/gtest.h>

#include "core/exception.h"
#include "recording_printer.h"
#include "report/print_job.h"
#include "report/printers.h"
#include "report/report.h"

namespace lgoty::report {
namespace {

using testing::CancelAfter;
using testing::FakePages;
using testing::RecordingPrinter;

class FakeSystem : public PrinterSystem {
 public:
  std::vector<std::string> names;
  std::string default_name;
  std::vector<RecordingPrinter*> made;
  std::string failing;  // a printer whose driver refuses to initialise
  std::vector<std::string> PrinterNames() override { return names; }
  std::string DefaultPrinterName() override { return default_name; }
  std::unique_ptr<TfrxCustomPrinter> CreatePrinter(const std::string& name) override {
    auto printer = std::make_unique<RecordingPrinter>(name);
    printer->fail_init = name == failing;
    made.push_back(printer.get());
    return printer;
  }
};

class FakeHost : public PrintHost {
 public:
  std::vector<std::string> messages;
  bool confirm = true;
  int dialogs = 0;
  std::function<void(PrintRequest&, TfrxPrinters&)> edit;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool ShowPrintDialog(PrintRequest& request, TfrxPrinters& printers) override {
    ++dialogs;
    if (edit) edit(request, printers);
    return confirm;
  }
};

TEST(Printers, WithoutInstalledPrintersTheVirtualPrinterStandsIn) {
  TfrxPrinters none(nullptr);
  ASSERT_EQ(none.Count(), 1);
  EXPECT_FALSE(none.HasPhysicalPrinters());
  TfrxCustomPrinter& virtual_printer = none.Printer();
  EXPECT_EQ(virtual_printer.Name(), "Виртуальный");
  EXPECT_EQ(virtual_printer.DPIX(), 600);
  EXPECT_EQ(virtual_printer.PaperSize(), 9);
  EXPECT_DOUBLE_EQ(virtual_printer.PaperHeight(), 297);
  // The custom entry first, then the 66 standard papers.
  EXPECT_EQ(virtual_printer.Papers().size(), 67u);
  EXPECT_EQ(virtual_printer.PaperNames().front(), "Пользовательский");
  EXPECT_EQ(virtual_printer.BinNames(), std::vector<std::string>{"По умолчанию"});

  virtual_printer.SetPrintParams({66, 0, 0, TPrinterOrientation::poLandscape, 7,
                                  TfrxDuplexMode::dmNone, 1});
  EXPECT_DOUBLE_EQ(virtual_printer.PaperWidth(), 594);  // A2 lying
  virtual_printer.SetPrintParams({300, 100, 50, TPrinterOrientation::poPortrait, 7,
                                  TfrxDuplexMode::dmNone, 1});
  EXPECT_EQ(virtual_printer.PaperSize(), 256);
  EXPECT_DOUBLE_EQ(virtual_printer.PaperWidth(), 100);
}

TEST(Printers, TheDefaultPrinterIsSelectedAndNamesAreFoundIgnoringCase) {
  FakeSystem system;
  system.names = {"Office", "Кабинет", "PDF"};
  system.default_name = "PDF";
  TfrxPrinters printers(&system);
  EXPECT_TRUE(printers.HasPhysicalPrinters());
  EXPECT_EQ(printers.PrinterIndex(), 2);
  EXPECT_EQ(printers.IndexOf("кабинет"), 1);
  EXPECT_EQ(printers.IndexOf("office"), 0);
  EXPECT_EQ(printers.IndexOf("nowhere"), -1);
  system.default_name = "gone";
  printers.FillPrinters();
  EXPECT_EQ(printers.PrinterIndex(), 0);
}

struct PrintFixture : ::testing::Test {
  FakeSystem system;
  FakeHost host;
  CancelAfter progress;
  TfrxReport report;
  FakePages pages{5};
  std::unique_ptr<TfrxPrinters> printers;
  void SetUp() override {
    system.names = {"Office", "PDF"};
    system.default_name = "Office";
    printers = std::make_unique<TfrxPrinters>(&system);
    report.print_options.show_dialog = false;
  }
  bool Print(int current_page = 1) {
    return PrintPreparedReport(report, pages, *printers, host, progress, current_page);
  }
};

TEST_F(PrintFixture, NoPrinterInstalledPrintsNothingAndSaysSo) {
  TfrxPrinters none(nullptr);
  EXPECT_FALSE(PrintPreparedReport(report, pages, none, host, progress));
  EXPECT_EQ(host.messages, std::vector<std::string>{"В вашей системе не установлено принтеров"});
  EXPECT_TRUE(pages.drawn.empty());
}

TEST_F(PrintFixture, APrinterNameThatMatchesNothingPrintsOnTheDefaultPrinter) {
  report.print_options.printer = "По умолчанию";
  EXPECT_TRUE(Print());
  EXPECT_EQ(system.made[0]->sheets, 5);
  EXPECT_EQ(system.made[1]->sheets, 0);

  report.print_options.printer = "pdf";
  EXPECT_TRUE(Print());
  EXPECT_EQ(system.made[1]->sheets, 5);
}

TEST_F(PrintFixture, DialogChoicesApplyToThisPrintOnly) {
  report.print_options.show_dialog = true;
  host.edit = [](PrintRequest& request, TfrxPrinters&) {
    request.options.page_numbers = "2,4";
    request.options.copies = 3;
    request.output_file = "/tmp/out.prn";
  };
  report.report_options.name = "Список";
  EXPECT_TRUE(Print());
  EXPECT_EQ(pages.Numbers(), (std::vector<int>{2, 4, 2, 4, 2, 4}));
  EXPECT_EQ(system.made[0]->events.at(1), "begin:Список:/tmp/out.prn");
  EXPECT_EQ(report.print_options.page_numbers, "");
  EXPECT_EQ(report.print_options.copies, 1);
  EXPECT_TRUE(report.print_options.show_dialog);
}

TEST_F(PrintFixture, ACancelledDialogPrintsNothing) {
  report.print_options.show_dialog = true;
  host.confirm = false;
  EXPECT_FALSE(Print());
  EXPECT_EQ(host.dialogs, 1);
  EXPECT_TRUE(pages.drawn.empty());
}

TEST_F(PrintFixture, ABadPageTextIsAConversionErrorBeforeAnythingPrints) {
  report.print_options.page_numbers = "1,x";
  report.print_options.copies = 2;
  EXPECT_THROW(Print(), core::EConvertError);
  EXPECT_TRUE(system.made[0]->events.empty());
  EXPECT_EQ(report.print_options.copies, 2);
  EXPECT_EQ(report.print_options.page_numbers, "1,x");
}

TEST_F(PrintFixture, APrinterThatCannotInitialiseIsReported) {
  system.failing = "Office";
  system.made.clear();
  printers->FillPrinters();
  EXPECT_FALSE(Print());
  EXPECT_EQ(host.messages, std::vector<std::string>{"Printer selected is not valid"});
}

TEST_F(PrintFixture, TheDocumentTitleFallsBackToAFixedText) {
  EXPECT_EQ(PrintDocumentTitle(report), "Quorvane Document");
  report.report_options.name = "Отчет";
  EXPECT_EQ(PrintDocumentTitle(report), "Отчет");
}

TEST_F(PrintFixture, JoinModePrintsOnTheChosenSheet) {
  report.print_options.print_mode = TfrxPrintMode::pmJoin;
  report.print_options.print_on_sheet = 8;  // A3: two A4 pages per landscape sheet
  EXPECT_TRUE(Print());
  EXPECT_EQ(system.made[0]->sheets, 3);
  EXPECT_EQ(system.made[0]->set_params.at(0).paper, 8);
  EXPECT_DOUBLE_EQ(system.made[0]->set_params.at(0).width_mm, 420);
}

}  // namespace
}  // namespace lgoty::report
