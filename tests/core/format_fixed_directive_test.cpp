// The "%f"/"%n" shortcut must give exactly what Format gives wherever it answers, and
// answer for the amounts a register holds.
#include "core/format_fixed_directive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/text_format.h"
#include "core/variant.h"

namespace lgoty::core {
namespace {

std::string General(std::string_view format, double value, const FormatSettings& fs) {
  const Variant arg(value);
  return Format(format, std::span<const Variant>(&arg, 1), fs);
}

std::vector<double> Values() {
  std::vector<double> values = {0.0,     -0.0,   0.005,  0.015,   0.125,    2.675,     1.005,    -2.675,
                                0.5,     1.5,    -0.5,   0.1 + 0.2, 0.3,    1e-20,     -1e-20,   123.45,
                                1234.5,  -9876.5, 1e6,   999.995, 999.999,  1000,      99999.99, 1e14,
                                1e15,    -1e15,  123456789012.34, 9999999999999.99, 99999999999999.9,
                                999999999999999.0, 1e16, 1e300, -1e300, 5e-324, 4503599627370495.5,
                                std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  std::mt19937_64 random(20260612);
  for (int i = 0; i < 3000; ++i) {
    // Amounts of kopecks and values of 0..9 decimals, of every size, both signs; some
    // halfway cases and some values that are no short decimal at all.
    const int decimals = static_cast<int>(random() % 10);
    const double units = static_cast<double>(random() % (uint64_t{1} << (random() % 53)));
    double v = units / std::pow(10.0, decimals);
    if (i % 7 == 0) v += 0.005;
    if (i % 11 == 0) v = v * 1.1;
    if (i % 2 == 0) v = -v;
    values.push_back(v);
  }
  return values;
}

TEST(FormatFixedDirective, GivesWhatFormatGivesWheneverItAnswers) {
  const std::vector<std::string> formats = {
      "%2.2n", "%.2f", "%n",      "%f",         "%-12.2n", "%15.3N", "%.0n",       "%.n",  "%10.9f", "%0.1F",
      "%1.9n", "%20n", "%-3.0f",  "сумма %8.2n руб.", "%05.2n", "%9999.2n", "%.4f ≈", "%-20.3n|", "%13.1n",
      "%7n",   "%-9.0N"};
  // Besides the usual ones, separators of other widths: none, a quote, three bytes.
  FormatSettings odd = FormatSettings::English();
  odd.ThousandSeparator = "";
  odd.DecimalSeparator = "\xE2\x80\xA4";
  FormatSettings quoted = FormatSettings::Russian();
  quoted.ThousandSeparator = "'";
  const FormatSettings settings[] = {FormatSettings::Russian(), FormatSettings::English(), odd, quoted};
  const std::vector<double> values = Values();
  size_t answered = 0, tries = 0;
  for (const FormatSettings& fs : settings) {
    for (const std::string& format : formats) {
      for (double v : values) {
        std::string fast;
        ++tries;
        if (!TryFormatFixedDirective(format, v, fs, fast)) continue;
        ++answered;
        ASSERT_EQ(fast, General(format, v, fs)) << "format " << format << " value " << v;
      }
    }
  }
  // The shortcut is taken often enough for the comparison to mean something.
  EXPECT_GT(answered, tries / 4) << answered << " of " << tries;
}

TEST(FormatFixedDirective, LeavesOtherFormatsAndValuesToFormat) {
  const FormatSettings fs = FormatSettings::Russian();
  std::string out;
  for (const char* format : {"%d", "%1:n", "%*.2n", "%.*n", "%%2.2n", "%2.2n%%", "%2.2n %s", "%2.2m", "%2.2e",
                             "%2.2g", "%.10n", "%12345.2n", "no directive", "%", "%2.", "%-"}) {
    EXPECT_FALSE(TryFormatFixedDirective(format, 12.5, fs, out)) << format;
  }
  // Values whose 15-digit text is not the short decimal: rounding of digits, beyond 15
  // digits, non-finite.
  for (double v : {2.675, 0.1 + 0.2, 1e15, 1e300, std::numeric_limits<double>::infinity(),
                   std::numeric_limits<double>::quiet_NaN(), 1e-20}) {
    EXPECT_FALSE(TryFormatFixedDirective("%2.2n", v, fs, out)) << v;
  }
  FormatSettings long_separator = fs;
  long_separator.ThousandSeparator = "\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0 ";
  EXPECT_FALSE(TryFormatFixedDirective("%2.2n", 12.5, long_separator, out));
  ASSERT_TRUE(TryFormatFixedDirective("%2.2n", -1234567.5, fs, out));
  EXPECT_EQ(out, "-1\xC2\xA0" "234\xC2\xA0" "567,50");
  ASSERT_TRUE(TryFormatFixedDirective("[%-8.1f]", -0.0, fs, out));
  EXPECT_EQ(out, "[0,0     ]");
}

}  // namespace
}  // namespace lgoty::core
