// The list of the process's printers (TfrxPrinters): one printer object per installed
// printer, or the virtual printer when none is installed. Enumeration and printer objects
// come from a printer system (Qt's print support in the program, a scripted one in tests);
// without a printer system the list holds the virtual printer only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "report/printer.h"

namespace lgoty::report {

class PrinterSystem {
 public:
  virtual ~PrinterSystem() = default;
  // Names of the installed printers in the system's order.
  virtual std::vector<std::string> PrinterNames() = 0;
  // The system's default printer; "" when there is none.
  virtual std::string DefaultPrinterName() = 0;
  virtual std::unique_ptr<TfrxCustomPrinter> CreatePrinter(const std::string& name) = 0;
};

class TfrxPrinters {
 public:
  // Enumerates at once. The system must outlive the list; nullptr gives the virtual printer.
  explicit TfrxPrinters(PrinterSystem* system);

  // Drops the printers and enumerates again (after printers were added or removed).
  void FillPrinters();

  int Count() const { return static_cast<int>(printers_.size()); }
  TfrxCustomPrinter& Item(int index) { return *printers_.at(static_cast<size_t>(index)); }
  // The selected printer (initialised).
  TfrxCustomPrinter& Printer() { return Item(printer_index_); }
  int PrinterIndex() const { return printer_index_; }
  // Selects and initialises that printer; an index outside the list is ignored. An error of
  // the printer's driver passes to the caller.
  void SetPrinterIndex(int index);
  // Letter case ignored; -1 when absent.
  int IndexOf(const std::string& name) const;
  // False when only the virtual printer stands in.
  bool HasPhysicalPrinters() const { return has_physical_; }
  std::vector<std::string> Names() const;

 private:
  PrinterSystem* system_;
  std::vector<std::unique_ptr<TfrxCustomPrinter>> printers_;
  int printer_index_ = 0;
  bool has_physical_ = false;
};

// The list of this process, created on first use over the system given by the first call
// of SetPrinterSystem (the virtual printer only when none was given).
TfrxPrinters& frxPrinters();
// Installs the printer system that frxPrinters() enumerates; a list already made is filled
// again from it. The system must live as long as the process uses printers.
void SetPrinterSystem(PrinterSystem* system);

}  // namespace lgoty::report
