// Printing prepared pages: printer selection, the print dialog, the sheet of the modes that
// print on another paper, the document title, and the print loop. The dialog's choices
// apply to this print only: the report's print options are restored afterwards.
#pragma once

#include <string>

#include "report/enums.h"
#include "report/print_loop.h"
#include "report/printers.h"
#include "report/report_options.h"

namespace lgoty::report {

class TfrxReport;

// What the print dialog edits: the options (a copy of the report's), the output file and
// duplex chosen for this print, and the preview page that "Текущая" stands for.
struct PrintRequest {
  TfrxPrintOptions options;
  std::string output_file;  // "" prints on the device
  TfrxDuplexMode duplex = TfrxDuplexMode::dmNone;
  int current_page = 1;
};

// The user-interface side of a print job.
class PrintHost {
 public:
  virtual ~PrintHost() = default;
  virtual void ShowMessage(const std::string& text) = 0;
  // The print dialog over the selected printer of `printers`; false when cancelled (the
  // dialog then selects again the printer that was selected before it).
  virtual bool ShowPrintDialog(PrintRequest& request, TfrxPrinters& printers) = 0;
  virtual void BeforePrint() {}
  virtual void AfterPrint() {}
};

// The title of the spooler document: ReportOptions.Name, else the template's file name,
// else "Quorvane Document".
std::string PrintDocumentTitle(const TfrxReport& report);

// Prints the pages of `report` held by `source` on `printers`; true when pages were sent.
// Messages: "В вашей системе не установлено принтеров" without printers, "Printer selected is
// not valid" when the printer cannot be initialised. A page text that is not a number raises
// core::EConvertError before anything prints. `progress` cancels the run.
bool PrintPreparedReport(TfrxReport& report, PrintPageSource& source, TfrxPrinters& printers,
                         PrintHost& host, PrintProgress& progress, int current_page = 1);

}  // namespace lgoty::report
