#include "report/printers.h"

#include "core/locale.h"
#include "report/resources.h"

namespace lgoty::report {

TfrxPrinters::TfrxPrinters(PrinterSystem* system) : system_(system) { FillPrinters(); }

void TfrxPrinters::FillPrinters() {
  printers_.clear();
  printer_index_ = 0;
  has_physical_ = false;
  if (system_) {
    for (const std::string& name : system_->PrinterNames())
      if (auto printer = system_->CreatePrinter(name)) printers_.push_back(std::move(printer));
  }
  if (printers_.empty()) {
    printers_.push_back(std::make_unique<TfrxVirtualPrinter>(frxGet("prVirtual")));
    printers_.front()->Init();
    return;
  }
  has_physical_ = true;
  int index = IndexOf(system_->DefaultPrinterName());
  printer_index_ = index < 0 ? 0 : index;
  try {
    printers_[static_cast<size_t>(printer_index_)]->Init();
  } catch (const std::exception&) {
    // A printer that cannot be read is reported when something prints on it.
  }
}

void TfrxPrinters::SetPrinterIndex(int index) {
  if (index < 0 || index >= Count()) return;
  printer_index_ = index;
  printers_[static_cast<size_t>(index)]->Init();
}

int TfrxPrinters::IndexOf(const std::string& name) const {
  for (size_t i = 0; i < printers_.size(); ++i)
    if (core::AnsiCompareText(printers_[i]->Name(), name) == 0) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> TfrxPrinters::Names() const {
  std::vector<std::string> names;
  for (const auto& printer : printers_) names.push_back(printer->Name());
  return names;
}

namespace {

PrinterSystem*& InstalledSystem() {
  static PrinterSystem* system = nullptr;
  return system;
}

std::unique_ptr<TfrxPrinters>& ProcessList() {
  static std::unique_ptr<TfrxPrinters> list;
  return list;
}

}  // namespace

TfrxPrinters& frxPrinters() {
  auto& list = ProcessList();
  if (!list) list = std::make_unique<TfrxPrinters>(InstalledSystem());
  return *list;
}

void SetPrinterSystem(PrinterSystem* system) {
  InstalledSystem() = system;
  if (auto& list = ProcessList()) list = std::make_unique<TfrxPrinters>(system);
}

}  // namespace lgoty::report
