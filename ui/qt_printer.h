// The printers of the operating system through Qt's print support (CUPS on this platform):
// the printer system that TfrxPrinters enumerates, and a printer object over QPrinter.
#pragma once

#include <QPainter>
#include <QPrinter>
#include <memory>

#include "report/printers.h"

namespace lgoty::ui {

class QtPrinterSystem : public report::PrinterSystem {
 public:
  std::vector<std::string> PrinterNames() override;
  std::string DefaultPrinterName() override;
  std::unique_ptr<report::TfrxCustomPrinter> CreatePrinter(const std::string& name) override;
};

// Installs QtPrinterSystem as the process's printer system (once; later calls do nothing).
void UseQtPrinters();

// A printer drawn on through QPrinter in full-page mode: the painter's origin is the sheet's
// corner, so the physical offsets are 0, and the resolution is the device's.
class TfrxQtPrinter : public report::TfrxCustomPrinter {
 public:
  explicit TfrxQtPrinter(const std::string& name);
  ~TfrxQtPrinter() override;

  void SetPrintParams(const report::PrintParams& params) override;
  void BeginDoc() override;
  void BeginPage() override;
  void EndPage() override {}
  void EndDoc() override;
  void Abort() override;

  // The painter of the open document; nullptr outside BeginDoc .. EndDoc.
  QPainter* Painter() { return painter_.isActive() ? &painter_ : nullptr; }
  QPrinter& Device() { return *printer_; }
  // The number of pages begun in the current (or last) document.
  int PagesBegun() const { return pages_begun_; }

 protected:
  void ReadDriverDefaults() override;

 private:
  void ReadGeometry();

  std::unique_ptr<QPrinter> printer_;
  QPainter painter_;
  int pages_begun_ = 0;
};

// QPageSize of a paper number of the printer system; a custom size for 256 or an unknown number.
QPageSize PageSizeOfPaper(int paper, double width_mm, double height_mm);

}  // namespace lgoty::ui
