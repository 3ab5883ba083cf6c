// Locale conventions for turning numbers and dates into text and back. Every formatting and
// parsing function takes them explicitly; the program reads one set from the locale at start
// (FromLocale) and tests build the set they mean (Russian, English).
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace lgoty::core {

struct FormatSettings {
  // Separators are UTF-8 texts: the Russian thousands separator is U+00A0 (two bytes).
  std::string DecimalSeparator = ".";
  std::string ThousandSeparator = ",";
  std::string DateSeparator = "/";
  std::string TimeSeparator = ":";
  // Date and time patterns in FormatDateTime notation.
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongDateFormat = "dddd, MMMM d, yyyy";
  std::string ShortTimeFormat = "h:nn AMPM";
  std::string LongTimeFormat = "h:nn:ss AMPM";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  // Index 0 = January / Sunday.
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  std::array<std::string, 7> ShortDayNames;
  std::array<std::string, 7> LongDayNames;
  // Currency: symbol, position of the symbol for positive (0 "$1", 1 "1$", 2 "$ 1", 3 "1 $")
  // and negative amounts (0..15 as on the Windows desktop), and decimals.
  std::string CurrencyString = "$";
  int CurrencyFormat = 0;
  int NegCurrFormat = 0;
  int CurrencyDecimals = 2;
  // "True"/"False" texts of BoolToStr and variant conversion.
  std::string TrueBoolStr = "True";
  std::string FalseBoolStr = "False";

  // The conventions of a Russian desktop: "," and U+00A0, dd.mm.yyyy, "d mmmm yyyy", h:nn,
  // h:nn:ss, Russian month and day names (nominative), currency "р." after the amount.
  static FormatSettings Russian();
  // United States English: ".", ",", M/d/yyyy, h:nn AMPM.
  static FormatSettings English();
  // German: ",", ".", dd.MM.yyyy, HH:mm.
  static FormatSettings German();
  // The set that fits a locale name such as "ru_RU.UTF-8", "en_US", "de_DE@euro", "C".
  // A locale that names no language (C, POSIX, empty) gives the Russian set.
  static FormatSettings ForLocale(std::string_view locale_name);
  // From the process environment (LC_ALL, then LC_NUMERIC/LC_TIME, then LANG).
  static FormatSettings FromLocale();
};

// The process-wide set that the application reads once at start. Engines take settings as a
// parameter; this is only where the program keeps the one it read.
const FormatSettings& DefaultFormatSettings();
void SetDefaultFormatSettings(const FormatSettings& settings);

// The language part of the locale name of the process environment ("ru", "en", "de"),
// "" when the locale names no language.
std::string LocaleLanguage();

}  // namespace lgoty::core
