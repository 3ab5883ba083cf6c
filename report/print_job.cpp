#include "report/print_job.h"

#include "core/exception.h"
#include "report/page_numbers.h"
#include "report/report.h"
#include "report/resources.h"
#include "report/units.h"

namespace lgoty::report {

std::string PrintDocumentTitle(const TfrxReport& report) {
  std::string title = report.report_options.name;
  if (title.empty()) title = report.FileName();
  if (title.empty()) title = "Quorvane Document";
  return title;
}

namespace {

// Puts the report's print options back however the job ends.
class OptionsRestorer {
 public:
  explicit OptionsRestorer(TfrxReport& report)
      : report_(report), saved_(report.print_options) {}
  ~OptionsRestorer() { report_.print_options = saved_; }
  OptionsRestorer(const OptionsRestorer&) = delete;
  OptionsRestorer& operator=(const OptionsRestorer&) = delete;

 private:
  TfrxReport& report_;
  TfrxPrintOptions saved_;
};

}  // namespace

bool PrintPreparedReport(TfrxReport& report, PrintPageSource& source, TfrxPrinters& printers,
                         PrintHost& host, PrintProgress& progress, int current_page) {
  if (!printers.HasPhysicalPrinters()) {
    host.ShowMessage(frxGet("prNoPrinters"));
    return false;
  }
  OptionsRestorer restorer(report);
  // A name that matches no printer keeps the selected (system default) one.
  int named = printers.IndexOf(report.print_options.printer);
  try {
    printers.SetPrinterIndex(named >= 0 ? named : printers.PrinterIndex());
  } catch (const core::Exception&) {
    // Reported below, where the printer is initialised for printing.
  }

  PrintRequest request;
  request.options = report.print_options;
  request.current_page = current_page;
  if (report.print_options.show_dialog && !host.ShowPrintDialog(request, printers)) return false;
  report.print_options = request.options;
  const TfrxPrintOptions& options = report.print_options;

  TfrxCustomPrinter& printer = printers.Printer();
  try {
    printer.Init();
  } catch (const core::Exception&) {
    host.ShowMessage(frxGet("prInvalidPrinter"));
    return false;
  }
  // Parsed before anything reaches the printer, so a bad page text prints nothing.
  PrintLoopSettings settings;
  settings.page_list = ParsePageNumbers(options.page_numbers, source.Count());
  settings.copies = options.copies;
  settings.collate = options.collate;
  settings.mode = options.print_mode;
  settings.print_pages = options.print_pages;
  settings.reverse = options.reverse;
  settings.duplex = request.duplex;

  printer.file_name = request.output_file;
  printer.title = PrintDocumentTitle(report);
  if (options.print_mode != TfrxPrintMode::pmDefault) {
    // The sheet: a standard paper by its number; a custom one keeps the printer's size.
    PrintParams sheet;
    sheet.paper = options.print_on_sheet;
    sheet.width_mm = printer.PaperWidth();
    sheet.height_mm = printer.PaperHeight();
    if (const PaperEntry* entry = FindStandardPaper(options.print_on_sheet)) {
      sheet.width_mm = entry->width_tenth_mm / 10.0;
      sheet.height_mm = entry->height_tenth_mm / 10.0;
    } else {
      sheet.paper = kPaperCustom;
    }
    if (sheet.width_mm > sheet.height_mm) std::swap(sheet.width_mm, sheet.height_mm);
    settings.sheet_paper = sheet.paper;
    settings.sheet_width_mm = sheet.width_mm;
    settings.sheet_height_mm = sheet.height_mm;
  }

  host.BeforePrint();
  PrintLoopResult result;
  try {
    source.ClearCache();
    result = RunPrintLoop(source, printer, settings, progress);
  } catch (...) {
    host.AfterPrint();
    throw;
  }
  host.AfterPrint();
  return result == PrintLoopResult::kPrinted;
}

}  // namespace lgoty::report
