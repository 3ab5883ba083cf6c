#include "report/units.h"

#include <array>
#include <cstddef>

namespace lgoty::report {
namespace {

// Standard paper numbers 1..41 in millimetres, portrait.
constexpr std::array<PaperDimensions, 41> kPapers = {{
    {215.9, 279.4},   // 1 Letter
    {215.9, 279.4},   // 2 Letter small
    {279.4, 431.8},   // 3 Tabloid
    {431.8, 279.4},   // 4 Ledger
    {215.9, 355.6},   // 5 Legal
    {139.7, 215.9},   // 6 Statement
    {184.15, 266.7},  // 7 Executive
    {297, 420},       // 8 A3
    {210, 297},       // 9 A4
    {210, 297},       // 10 A4 small
    {148, 210},       // 11 A5
    {250, 354},       // 12 B4
    {182, 257},       // 13 B5
    {215.9, 330.2},   // 14 Folio
    {215, 275},       // 15 Quarto
    {254, 355.6},     // 16 10 x 14 in
    {279.4, 431.8},   // 17 11 x 17 in
    {215.9, 279.4},   // 18 Note
    {98.4, 225.4},    // 19 Envelope #9
    {104.8, 241.3},   // 20 Envelope #10
    {114.3, 263.5},   // 21 Envelope #11
    {120.7, 279.4},   // 22 Envelope #12
    {127, 292.1},     // 23 Envelope #14
    {431.8, 558.8},   // 24 C size sheet
    {558.8, 863.6},   // 25 D size sheet
    {863.6, 1117.6},  // 26 E size sheet
    {110, 220},       // 27 Envelope DL
    {162, 229},       // 28 Envelope C5
    {324, 458},       // 29 Envelope C3
    {229, 324},       // 30 Envelope C4
    {114, 162},       // 31 Envelope C6
    {114, 229},       // 32 Envelope C65
    {250, 353},       // 33 Envelope B4
    {176, 250},       // 34 Envelope B5
    {176, 125},       // 35 Envelope B6
    {110, 230},       // 36 Envelope Italy
    {98.4, 190.5},    // 37 Envelope Monarch
    {92.1, 165.1},    // 38 Envelope 6 3/4
    {377.8, 279.4},   // 39 US standard fanfold
    {215.9, 304.8},   // 40 German standard fanfold
    {215.9, 330.2},   // 41 German legal fanfold
}};

}  // namespace

bool PaperSizeDimensions(int paper_size, PaperDimensions& out) {
  if (paper_size < 1 || paper_size > static_cast<int>(kPapers.size())) return false;
  out = kPapers[static_cast<size_t>(paper_size - 1)];
  return true;
}

}  // namespace lgoty::report
