#include "report/printer.h"

#include <cmath>

#include "report/resources.h"
#include "report/units.h"

namespace lgoty::report {
namespace {

struct NamedPaper {
  PaperEntry entry;
  const char* name;
};

// Numbers 48 and 49 are not used by the printer system.
const std::vector<NamedPaper>& NamedPapers() {
  static const std::vector<NamedPaper> kTable = {
      {{1, 2159, 2794}, "Letter"},
      {{2, 2159, 2794}, "Letter Small"},
      {{3, 2794, 4318}, "Tabloid"},
      {{4, 4318, 2794}, "Ledger"},
      {{5, 2159, 3556}, "Legal"},
      {{6, 1397, 2159}, "Statement"},
      {{7, 1842, 2667}, "Executive"},
      {{8, 2970, 4200}, "A3"},
      {{9, 2100, 2970}, "A4"},
      {{10, 2100, 2970}, "A4 Small"},
      {{11, 1480, 2100}, "A5"},
      {{12, 2500, 3540}, "B4"},
      {{13, 1820, 2570}, "B5"},
      {{14, 2159, 3302}, "Folio"},
      {{15, 2150, 2750}, "Quarto"},
      {{16, 2540, 3556}, "10x14"},
      {{17, 2794, 4318}, "11x17"},
      {{18, 2159, 2794}, "Note"},
      {{19, 984, 2254}, "Envelope #9"},
      {{20, 1048, 2413}, "Envelope #10"},
      {{21, 1143, 2635}, "Envelope #11"},
      {{22, 1207, 2794}, "Envelope #12"},
      {{23, 1270, 2921}, "Envelope #14"},
      {{24, 4318, 5588}, "C size sheet"},
      {{25, 5588, 8636}, "D size sheet"},
      {{26, 8636, 11176}, "E size sheet"},
      {{27, 1100, 2200}, "Envelope DL"},
      {{28, 1620, 2290}, "Envelope C5"},
      {{29, 3240, 4580}, "Envelope C3"},
      {{30, 2290, 3240}, "Envelope C4"},
      {{31, 1140, 1620}, "Envelope C6"},
      {{32, 1140, 2290}, "Envelope C65"},
      {{33, 2500, 3530}, "Envelope B4"},
      {{34, 1760, 2500}, "Envelope B5"},
      {{35, 1760, 1250}, "Envelope B6"},
      {{36, 1100, 2300}, "Envelope Italy"},
      {{37, 984, 1905}, "Envelope Monarch"},
      {{38, 921, 1651}, "Envelope 6 3/4"},
      {{39, 3778, 2794}, "US Std Fanfold"},
      {{40, 2159, 3048}, "German Std Fanfold"},
      {{41, 2159, 3302}, "German Legal Fanfold"},
      {{42, 2500, 3530}, "B4 (ISO)"},
      {{43, 1000, 1480}, "Japanese Postcard"},
      {{44, 2286, 2794}, "9x11"},
      {{45, 2540, 2794}, "10x11"},
      {{46, 3810, 2794}, "15x11"},
      {{47, 2200, 2200}, "Envelope Invite"},
      {{50, 2413, 3048}, "Letter Extra"},
      {{51, 2413, 3810}, "Legal Extra"},
      {{52, 2969, 4572}, "Tabloid Extra"},
      {{53, 2355, 3223}, "A4 Extra"},
      {{54, 2102, 2794}, "Letter Transverse"},
      {{55, 2100, 2970}, "A4 Transverse"},
      {{56, 2356, 3048}, "Letter Extra Transverse"},
      {{57, 2270, 3560}, "Super A"},
      {{58, 3050, 4870}, "Super B"},
      {{59, 2159, 3223}, "Letter Plus"},
      {{60, 2100, 3300}, "A4 Plus"},
      {{61, 1480, 2100}, "A5 Transverse"},
      {{62, 1820, 2570}, "B5 (JIS) Transverse"},
      {{63, 3220, 4450}, "A3 Extra"},
      {{64, 1740, 2350}, "A5 Extra"},
      {{65, 2010, 2760}, "B5 (ISO) Extra"},
      {{66, 4200, 5940}, "A2"},
      {{67, 2970, 4200}, "A3 Transverse"},
      {{68, 3220, 4450}, "A3 Extra Transverse"},
  };
  return kTable;
}

}  // namespace

const std::vector<PaperEntry>& StandardPaperTable() {
  static const std::vector<PaperEntry> kEntries = [] {
    std::vector<PaperEntry> entries;
    for (const NamedPaper& paper : NamedPapers()) entries.push_back(paper.entry);
    return entries;
  }();
  return kEntries;
}

const PaperEntry* FindStandardPaper(int number) {
  for (const PaperEntry& entry : StandardPaperTable())
    if (entry.number == number) return &entry;
  return nullptr;
}

bool PrintParams::SameSheetAs(const PrintParams& other) const {
  return paper == other.paper && std::fabs(width_mm - other.width_mm) < 0.01 &&
         std::fabs(height_mm - other.height_mm) < 0.01 && orientation == other.orientation &&
         bin == other.bin && duplex == other.duplex;
}

TfrxCustomPrinter::TfrxCustomPrinter(std::string name, std::string port)
    : name_(std::move(name)), port_(std::move(port)) {}

void TfrxCustomPrinter::Init() {
  if (initialized_) return;
  paper_names_.assign(1, frxGet("prCustom"));
  papers_.assign(1, kPaperCustom);
  bin_names_.assign(1, frxGet("prDefault"));
  bins_.assign(1, kDefaultBin);
  ReadDriverDefaults();
  initialized_ = true;
}

int TfrxCustomPrinter::PaperNameToNumber(const std::string& name) const {
  for (size_t i = 0; i < paper_names_.size(); ++i)
    if (paper_names_[i] == name) return papers_[i];
  return kPaperCustom;
}

int TfrxCustomPrinter::PaperIndex(int number) const {
  for (size_t i = 0; i < papers_.size(); ++i)
    if (papers_[i] == number) return static_cast<int>(i);
  return -1;
}

int TfrxCustomPrinter::BinNameToNumber(const std::string& name) const {
  for (size_t i = 0; i < bin_names_.size(); ++i)
    if (bin_names_[i] == name) return bins_[i];
  return kDefaultBin;
}

void TfrxCustomPrinter::SetViewParams(int paper, double width_mm, double height_mm,
                                      TPrinterOrientation orientation) {
  ApplyPaperGeometry(paper, width_mm, height_mm, orientation);
}

void TfrxCustomPrinter::ApplyPaperGeometry(int paper, double width_mm, double height_mm,
                                           TPrinterOrientation orientation) {
  const PaperEntry* entry = paper == kPaperCustom ? nullptr : FindStandardPaper(paper);
  if (entry) {
    paper_ = paper;
    width_mm = entry->width_tenth_mm / 10.0;
    height_mm = entry->height_tenth_mm / 10.0;
    if (orientation == TPrinterOrientation::poLandscape) std::swap(width_mm, height_mm);
  } else {
    paper_ = kPaperCustom;
  }
  orientation_ = orientation;
  paper_width_ = width_mm;
  paper_height_ = height_mm;
}

TfrxVirtualPrinter::TfrxVirtualPrinter(std::string name) : TfrxCustomPrinter(std::move(name), "") {}

void TfrxVirtualPrinter::ReadDriverDefaults() {
  for (const NamedPaper& paper : NamedPapers()) {
    paper_names_.emplace_back(paper.name);
    papers_.push_back(paper.entry.number);
  }
  dpi_x_ = dpi_y_ = 600;
  left_margin_ = top_margin_ = 0;
  def_paper_ = kPaperA4;
  def_orientation_ = TPrinterOrientation::poPortrait;
  def_bin_ = kDefaultBin;
  def_duplex_ = TfrxDuplexMode::dmNone;
  ApplyPaperGeometry(kPaperA4, 210, 297, TPrinterOrientation::poPortrait);
}

void TfrxVirtualPrinter::SetPrintParams(const PrintParams& params) {
  ApplyPaperGeometry(params.paper, params.width_mm, params.height_mm, params.orientation);
  bin_ = params.bin;
}

}  // namespace lgoty::report
