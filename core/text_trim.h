// Trimming blanks off the ends of a text. The blanks are single bytes (ASCII), so a UTF-8
// sequence is never cut; the readers of template expressions, INI files and dialog scripts
// each name the blanks they skip.
#pragma once

#include <string_view>

namespace lgoty::core {

// Spaces, tabs and line breaks.
inline constexpr std::string_view kAsciiBlanks = " \t\r\n";

// The text without the leading and trailing bytes that are in `blanks`.
constexpr std::string_view Trim(std::string_view text, std::string_view blanks = kAsciiBlanks) {
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The text without the leading bytes that are in `blanks`.
constexpr std::string_view TrimLeft(std::string_view text, std::string_view blanks = kAsciiBlanks) {
  const size_t first = text.find_first_not_of(blanks);
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

}  // namespace lgoty::core
