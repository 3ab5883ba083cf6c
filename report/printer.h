// A printer of the operating system as the print loop and the print dialog see it
// (TfrxCustomPrinter), and the virtual printer used when none is installed.
//
// Lengths are millimetres, resolutions dots per inch, paper sizes the printer system's paper
// numbers (kPaperCustom for a size given by width and height). The drawing surface of a
// printer belongs to its implementation (render/ or ui/); the page source that draws a page
// asks the concrete printer for it.
#pragma once

#include <string>
#include <vector>

#include "report/enums.h"

namespace lgoty::report {

struct PaperEntry {
  int number;
  int width_tenth_mm;   // portrait
  int height_tenth_mm;
};

// The standard paper numbers 1-47 and 50-68 with their portrait sizes in tenths of a
// millimetre (66 entries).
const std::vector<PaperEntry>& StandardPaperTable();
// The entry of a paper number; nullptr for a number the table does not hold.
const PaperEntry* FindStandardPaper(int number);

// Print parameters asked of a printer before a page (or once for a job).
struct PrintParams {
  int paper = 0;  // paper number
  double width_mm = 0, height_mm = 0;  // the page's (portrait or landscape) size
  TPrinterOrientation orientation = TPrinterOrientation::poPortrait;
  int bin = 7;
  TfrxDuplexMode duplex = TfrxDuplexMode::dmNone;
  int copies = 1;

  bool SameSheetAs(const PrintParams& other) const;
};

class TfrxCustomPrinter {
 public:
  static constexpr int kDefaultBin = 7;

  TfrxCustomPrinter(std::string name, std::string port);
  virtual ~TfrxCustomPrinter() = default;
  TfrxCustomPrinter(const TfrxCustomPrinter&) = delete;
  TfrxCustomPrinter& operator=(const TfrxCustomPrinter&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Port() const { return port_; }

  // Reads the driver's defaults once (paper, bin, duplex, orientation, paper and bin lists);
  // later calls do nothing. Raises core::Exception when the printer cannot be used.
  void Init();
  bool Initialized() const { return initialized_; }

  // The paper list always starts with the custom entry ("Пользовательский", 256); the bin
  // list with the default bin ("По умолчанию", 7).
  const std::vector<std::string>& PaperNames() const { return paper_names_; }
  const std::vector<int>& Papers() const { return papers_; }
  const std::vector<std::string>& BinNames() const { return bin_names_; }
  const std::vector<int>& Bins() const { return bins_; }
  // The paper number of a name of the list; kPaperCustom when the name is not there.
  int PaperNameToNumber(const std::string& name) const;
  // The list position of a paper number; -1 when the printer does not know it.
  int PaperIndex(int number) const;
  int BinNameToNumber(const std::string& name) const;

  double DPIX() const { return dpi_x_; }
  double DPIY() const { return dpi_y_; }
  // Physical offsets of the printable area from the sheet corner.
  double LeftMargin() const { return left_margin_; }
  double TopMargin() const { return top_margin_; }
  double PaperWidth() const { return paper_width_; }
  double PaperHeight() const { return paper_height_; }
  int PaperSize() const { return paper_; }
  TPrinterOrientation Orientation() const { return orientation_; }
  int Bin() const { return bin_; }
  TfrxDuplexMode Duplex() const { return duplex_; }
  int DefPaper() const { return def_paper_; }
  TPrinterOrientation DefOrientation() const { return def_orientation_; }
  int DefBin() const { return def_bin_; }
  TfrxDuplexMode DefDuplex() const { return def_duplex_; }

  // Output file of the next document ("" prints on the device) and the document title.
  std::string file_name;
  std::string title;

  // Sets paper, orientation, copies, bin and duplex, then reads the geometry again. A bin of
  // kDefaultBin keeps the printer's own bin; dmNone keeps its duplex.
  virtual void SetPrintParams(const PrintParams& params) = 0;
  // The paper size the printer reports for a paper number and orientation, without
  // changing its settings for printing (page settings of the preview use it).
  virtual void SetViewParams(int paper, double width_mm, double height_mm,
                             TPrinterOrientation orientation);

  virtual void BeginDoc() = 0;
  virtual void BeginPage() = 0;
  virtual void EndPage() = 0;
  virtual void EndDoc() = 0;
  virtual void Abort() = 0;
  // Whether this stands for a real device (false for the virtual printer).
  virtual bool IsPhysical() const { return true; }

 protected:
  // Fills the lists and defaults from the driver; raises on failure.
  virtual void ReadDriverDefaults() = 0;
  // Sets width and height from the paper number (or the given size for custom or unknown
  // numbers), swapped for landscape.
  void ApplyPaperGeometry(int paper, double width_mm, double height_mm,
                          TPrinterOrientation orientation);

  std::string name_, port_;
  bool initialized_ = false;
  std::vector<std::string> paper_names_, bin_names_;
  std::vector<int> papers_, bins_;
  double dpi_x_ = 600, dpi_y_ = 600;
  double left_margin_ = 0, top_margin_ = 0;
  double paper_width_ = 210, paper_height_ = 297;
  int paper_ = 9;
  TPrinterOrientation orientation_ = TPrinterOrientation::poPortrait;
  int bin_ = kDefaultBin;
  TfrxDuplexMode duplex_ = TfrxDuplexMode::dmNone;
  int def_paper_ = 9;
  TPrinterOrientation def_orientation_ = TPrinterOrientation::poPortrait;
  int def_bin_ = kDefaultBin;
  TfrxDuplexMode def_duplex_ = TfrxDuplexMode::dmNone;
};

// The printer that stands in when no printer is installed: 600 x 600 dpi, A4 portrait,
// the standard paper table, no bins, no duplex. It keeps its settings but prints nothing.
class TfrxVirtualPrinter : public TfrxCustomPrinter {
 public:
  explicit TfrxVirtualPrinter(std::string name);
  void SetPrintParams(const PrintParams& params) override;
  void BeginDoc() override {}
  void BeginPage() override {}
  void EndPage() override {}
  void EndDoc() override {}
  void Abort() override {}
  bool IsPhysical() const override { return false; }

 protected:
  void ReadDriverDefaults() override;
};

}  // namespace lgoty::report
