// Locale services over ICU: case mapping, case-insensitive and case-sensitive comparison and
// collation in the user's language, and the plain ASCII forms that some places ask for. All
// texts are UTF-8 (ill-formed bytes count as U+FFFD).
//
// All functions are safe to call from several threads; each thread keeps its own collators,
// cloned from one opened per language.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lgoty::core {

// The language whose rules the Ansi* functions follow ("ru" unless set; the program sets
// it from LocaleLanguage() at start, falling back to "ru").
void SetCollationLanguage(std::string_view language);
std::string CollationLanguage();
// A number that changes whenever the collation language does: what caches of collation
// keys check to know that their keys still hold.
uint64_t CollationGeneration();

std::string AnsiUpperCase(std::string_view text);
std::string AnsiLowerCase(std::string_view text);
// -1, 0 or 1. Text: ignoring letter case (base letters and accents count, so "ё" and "е" still
// differ); Str: letter case counts, and texts equal at every collation level are ordered by
// code point, so only canonically equal texts compare equal. Both use the language's
// collation: in Russian "ё" sorts with "е" and after it when the texts are otherwise equal
// ("Елкин" < "Ёлкин" < "Елкина").
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
// A byte string whose memcmp order (a proper prefix first) is the order of AnsiCompareText
// (ignore_case) or AnsiCompareStr. It contains no zero byte. Keys are valid for the
// collation language and ICU version that made them: do not store them on disk.
std::string CollationKey(std::string_view text, bool ignore_case);

// ASCII only: A-Z/a-z fold, every other byte compares as itself. Byte order otherwise.
// CompareText folds to upper case and, like CompareStr, returns the difference of the first
// unequal bytes (unsigned), or -1/1 when one text is a proper prefix of the other.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
int CompareText(std::string_view a, std::string_view b);
int CompareStr(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

}  // namespace lgoty::core
