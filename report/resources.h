// The report engine's user-visible texts, looked up by key in one table of Russian texts.
// A key without an entry yields the key itself.
#pragma once

#include <string>
#include <string_view>

namespace lgoty::report {

std::string frxGet(std::string_view key);

}  // namespace lgoty::report
