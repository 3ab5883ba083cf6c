#pragma once

// Helpers of the report's macro functions (IIF): what an argument text is, and whether a
// condition's value counts as true. Kept apart so that their fast forms can be checked
// against the general ones.

#include <array>
#include <cstdint>
#include <string_view>

#include "core/variant.h"

namespace lgoty::report {

// The name of a macro argument that is one bracketed name, "<NAME>" between spaces or tabs,
// with nothing in NAME that the brackets' scan or the quoted literal it becomes treat
// specially: no brackets, no single quote, no control character, double quotes in pairs.
// Empty when the text has another form.
inline std::string_view BracketedName(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  if (e - b < 3 || text[b] != '<' || text[e - 1] != '>') return {};
  std::string_view name = text.substr(b + 1, e - b - 2);
  // One table look-up a character: 1 refuses the name, 2 is the double quote.
  static constexpr auto kClass = [] {
    std::array<uint8_t, 256> t{};
    for (int c = 0; c < 0x20; ++c) t[c] = 1;
    for (unsigned char c : {'<', '>', '[', ']', '\''}) t[c] = 1;
    t['"'] = 2;
    return t;
  }();
  bool in_double = false;
  for (char c : name) {
    const uint8_t k = kClass[static_cast<unsigned char>(c)];
    if (k == 0) continue;
    if (k == 1) return {};
    in_double = !in_double;
  }
  if (in_double) return {};
  return name;
}

// Whether IIF takes its true branch for the condition's value: not Empty or Null, and the
// same value as True. A Boolean is True when it is not 0 (as the general comparison, which
// takes both as numbers, finds); the other kinds go through that comparison.
inline bool IifTrue(const core::Variant& cond) {
  if (cond.kind() == core::Variant::Kind::Boolean) return cond.ordinal() != 0;
  return !cond.IsEmptyOrNull() && core::VarSameValue(cond, core::Variant(true));
}

}  // namespace lgoty::report
