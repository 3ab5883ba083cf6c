// Compares two report object trees object by object and property by property, through the
// property tables, reporting every difference as a test failure with its path.
#pragma once

#include "report/component.h"

namespace lgoty::report::testing {

void ExpectSameTree(const TfrxComponent& a, const TfrxComponent& b);
void ExpectSameObject(const core::TObject& a, const core::TObject& b, const std::string& path);

}  // namespace lgoty::report::testing
