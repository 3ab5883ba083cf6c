// Builds, in code, the beneficiary-list report that templates/spisok1.fr3 holds. The
// checked-in template is this report as the program saves it; a test keeps the two equal.
#pragma once

#include "report/report.h"

namespace lgoty::report::testing {

void BuildSpisok1(TfrxReport& report);

}  // namespace lgoty::report::testing
