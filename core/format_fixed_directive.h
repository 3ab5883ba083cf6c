// A shortcut for the commonest display format of amounts: one "%f" or "%n" directive
// ("%2.2n") applied to a value that is a plain decimal with no more decimals than shown.
//
// Format writes a double through its 15 significant digits and rounds those to the
// decimals asked for. When the value is the double nearest to units / 10^decimals for
// an integer `units` below 10^15 (an amount read from a table, a sum of whole kopecks), its
// 15-digit text is exactly that decimal (every decimal of at most 15 digits survives the
// trip through a double), so the digits come from `units` without the general conversion.
#pragma once

#include <string>
#include <string_view>

#include "core/format_settings.h"

namespace lgoty::core {

// The text Format(format, {Variant(value)}, fs) gives, when format is literal text without
// "%", one directive "%[-][width][.precision]" with type f or n (either case), and literal
// text without "%" again, value is as above with at most 9 decimals, and the settings'
// separators have at most 8 bytes each. Returns false,
// leaving `out` unspecified, for anything else (the caller then takes Format).
bool TryFormatFixedDirective(std::string_view format, double value, const FormatSettings& fs,
                             std::string& out);

}  // namespace lgoty::core
