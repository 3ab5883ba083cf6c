// ASCII case folding: only the letters A-Z and a-z change; every other byte (UTF-8 sequences
// included) stays as it is. Names of properties, classes, tags, script identifiers and
// connection keys are matched this way; locale-aware folding is core/locale.h.
#pragma once

#include <string>
#include <string_view>

namespace lgoty::core {

constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
// Equal after ASCII upper-casing.
bool AsciiSameText(std::string_view a, std::string_view b);

}  // namespace lgoty::core
