// Conversions between numbers, dates and text, as the report's display formats, the
// expression engine and the script library call them. All take FormatSettings explicitly.
//
// Rules decided here:
//   - FloatToStr is the general format: the shortest text with at most 15 significant
//     digits, the locale's decimal separator, no grouping, exponent form "1,5E20" when the
//     exponent is >= 15 or < -4 ("E-5", "E+" never written). -0 prints as "0". NaN prints
//     "NAN", infinities "INF" and "-INF".
//   - Rounding is half away from zero on the decimal digits of the value as stored (so
//     0.125 with two decimals gives 0,13 and 2.675 gives 2,68 because the 15-digit text is
//     2.67500000000000).
//   - FloatToStrF ffFixed/ffNumber/ffCurrency fall back to the general form when the value
//     has more integer digits than the precision; FormatFloat falls back to FloatToStr when
//     a non-scientific picture would need more than 18 integer digits (1e300 gives "1E300").
//   - FormatFloat picks its section by the sign of the value before rounding, so -0.4 with
//     "0;-0" gives "-0" (the "-" is the section's literal); only the sign that the first
//     section adds for a negative value is dropped when the result rounds to zero. An empty
//     section counts as missing.
//   - StrTo* accept surrounding blanks; StrToFloat accepts the locale's decimal separator
//     only (not "." when the separator is ","), an optional sign and exponent; no INF/NAN.
//     StrToInt also takes "$FF" and "0xFF" (hexadecimal gives the bit pattern).
//   - StrToDate reads two or three numbers in the order of ShortDateFormat, separated by
//     DateSeparator; without a year it is the current year; a year of one or two digits is
//     placed in the 100 years starting 50 years before the current year. StrToTime reads
//     h:nn[:ss[.fraction]] (fraction after "." or the decimal separator, in seconds) and an
//     optional AM/PM mark (the settings' texts, AM/PM or A/P, any case; an hour alone is
//     allowed with a mark: "3 PM").
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/date_time.h"
#include "core/format_settings.h"

namespace lgoty::core {

class Variant;

std::string IntToStr(int64_t value);
std::string IntToHex(uint64_t value, int digits);

std::string FloatToStr(double value, const FormatSettings& fs);
std::string CurrToStr(int64_t scaled_by_10000, const FormatSettings& fs);

// FloatToStrF formats (ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency).
enum class FloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
std::string FloatToStrF(double value, FloatFormat format, int precision, int digits,
                        const FormatSettings& fs);

// Picture formats: "0" digit, "#" optional digit, "." decimal point, "," grouping,
// "E+"/"E-"/"e+"/"e-" exponent, "'..'"/"\"..\"" literal text, ";" sections
// (positive;negative;zero). An empty format gives FloatToStr.
std::string FormatFloat(std::string_view format, double value, const FormatSettings& fs);

// printf-style: %[index:][-][width][.precision]type with types d u e f g n m s x p and "*"
// for width or precision taken from the arguments; "%%" is "%". Errors (missing argument,
// wrong type, bad format) throw EConvertError with "Format '%s' invalid or incompatible with
// argument".
std::string Format(std::string_view format, std::span<const Variant> args,
                   const FormatSettings& fs);

// Date and time patterns: d dd ddd dddd ddddd dddddd, m mm mmm mmmm (minutes after h/hh),
// yy yyyy, h hh, n nn, s ss, z zzz, am/pm a/p ampm, c, t tt, "/" and ":" as the locale's
// separators, '...' and "..." literal. Letters are case-insensitive.
std::string FormatDateTime(std::string_view format, TDateTime value, const FormatSettings& fs);
std::string DateToStr(TDateTime value, const FormatSettings& fs);
std::string TimeToStr(TDateTime value, const FormatSettings& fs);
std::string DateTimeToStr(TDateTime value, const FormatSettings& fs);

bool TryStrToInt(std::string_view text, int32_t& out);
bool TryStrToInt64(std::string_view text, int64_t& out);
bool TryStrToFloat(std::string_view text, double& out, const FormatSettings& fs);
bool TryStrToCurr(std::string_view text, int64_t& scaled_by_10000, const FormatSettings& fs);
bool TryStrToDate(std::string_view text, TDateTime& out, const FormatSettings& fs);
bool TryStrToTime(std::string_view text, TDateTime& out, const FormatSettings& fs);
bool TryStrToDateTime(std::string_view text, TDateTime& out, const FormatSettings& fs);
// "True"/"False" (any case, also the settings' texts) or a number (0 false, other true).
bool TryStrToBool(std::string_view text, bool& out, const FormatSettings& fs);

// The throwing forms raise EConvertError with the usual texts:
// "'%s' is not a valid integer value", "'%s' is not a valid floating point value",
// "'%s' is not a valid date", "'%s' is not a valid time", "'%s' is not a valid date and time",
// "'%s' is not a valid boolean value".
int32_t StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);
double StrToFloat(std::string_view text, const FormatSettings& fs);
TDateTime StrToDate(std::string_view text, const FormatSettings& fs);
TDateTime StrToTime(std::string_view text, const FormatSettings& fs);
TDateTime StrToDateTime(std::string_view text, const FormatSettings& fs);
bool StrToBool(std::string_view text, const FormatSettings& fs);
std::string BoolToStr(bool value, bool use_bool_strs = false);

// Edit masks: "mask;save-literals;blank" with 0 9 # L l A a C c literal \x, > < <> case
// switches and the time/date separators ":" "/". Applies the mask to value (the raw
// characters) and returns the text shown.
//   - Each input character of the mask (0 9 # L l A a C c) takes the next character of value
//     as it is (no validation: this shows stored text, it does not check input); missing
//     characters show as the mask's blank character, or a space when the mask names none.
//   - Save-literals "0": value holds only the typed characters and the literals are
//     inserted. Otherwise (the default) value holds the literals too; a value character equal
//     to the literal at its place is taken as that literal.
//   - "!" fills from the right: missing characters are blank at the start instead of the end.
//   - "_" in the mask is a literal space; characters of value beyond the mask are kept at
//     the end (at the start with "!").
// The two-argument form uses DefaultFormatSettings() for the separators.
std::string FormatMaskText(std::string_view edit_mask, std::string_view value);
std::string FormatMaskText(std::string_view edit_mask, std::string_view value,
                           const FormatSettings& fs);

}  // namespace lgoty::core
