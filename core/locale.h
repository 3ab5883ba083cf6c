// Locale services over ICU: case mapping, case-insensitive and case-sensitive comparison and
// collation in the user's language, and the plain ASCII forms that some places ask for. All
// texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace lgoty::core {

// The language whose rules the Ansi* functions follow ("ru" unless set; the program sets
// it from LocaleLanguage() at start, falling back to "ru").
void SetCollationLanguage(std::string_view language);
std::string CollationLanguage();

std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
// Negative, zero or positive. Text: ignoring letter case; Str: letter case counts. Both
// compare by the language's collation (so "ё" sorts with "е" in Russian).
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// A byte string whose memcmp order is the collation order of the texts (for sorting and
// keys); case-sensitive or not.
std::string CollationKey(std::string_view text, bool ignore_case);

// ASCII only: A-Z/a-z fold, every other byte compares as itself. Byte order otherwise.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
int CompareText(std::string_view a, std::string_view b);
int CompareStr(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

}  // namespace lgoty::core
