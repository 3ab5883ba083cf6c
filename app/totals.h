// The Totals command's scan: how many live rows carry a non-zero amount, and their sum.
//
// Amounts are decimal numbers in the register (N(12,2) for SUMPAY), so the sum is kept
// exactly as an integer count of the field's smallest unit (kopecks): adding doubles would
// print rounding noise such as "9380755,85999999" for 9 380 755,86. The scan reads the data
// file in record order and decodes the field's digits itself, which is what makes it as fast
// as a plain scan of the file; the order does not change a count or a sum.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dbf/dbf_file.h"

namespace lgoty::app {

struct TTotals {
  uint64_t count = 0;       // live rows whose amount is not 0 (an empty amount reads as 0)
  __int128 units = 0;       // the sum in units of 10^-decimals
  int decimals = 0;
};

// Scans every record of file that is not marked deleted. progress receives the fraction
// done now and then (may be empty). An amount whose bytes are no plain decimal number goes
// through the field codec, as the dataset would read it (and fails the same way).
TTotals SumNonZero(dbf::TDbfFile& file, const dbf::TDbfFieldDef& amount,
                   const std::function<void(double)>& progress);

// The sum in the shortest form: no thousands separators, trailing zero decimals dropped,
// decimal_separator before the decimals ("1234,5", "0", "-0,75").
std::string FormatUnits(__int128 units, int decimals, const std::string& decimal_separator);

}  // namespace lgoty::app
