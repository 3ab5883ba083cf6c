// Units of the report object model. Component coordinates are screen pixels at 96 per inch
// (floats); paper sizes and margins of report pages are millimetres. Colours are Windows
// RGB values (0x00BBGGRR) or system colour codes (0x80000000 | index).
#pragma once

#include <cstdint>

namespace lgoty::report {

inline constexpr double fr01cm = 3.77953;
inline constexpr double fr1cm = 37.7953;
inline constexpr double fr01in = 9.6;
inline constexpr double fr1in = 96;
inline constexpr double fr1CharX = 9.6;
inline constexpr double fr1CharY = 17;

using TColor = int32_t;
inline constexpr TColor clBlack = 0;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clTransparent = 0x1FFFFFFF;
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005u);

// The character set number fonts are created with (the system's default character set).
inline constexpr int kDefaultCharset = 1;

// Paper numbers of the printer system; 256 is a custom size.
inline constexpr int kPaperA4 = 9;
inline constexpr int kPaperCustom = 256;

struct PaperDimensions {
  double width_mm;
  double height_mm;
};

// Portrait dimensions of a standard paper number (1 .. 41, as the printer system numbers
// them); false for a number it does not know.
bool PaperSizeDimensions(int paper_size, PaperDimensions& out);

}  // namespace lgoty::report
