// Language drivers: the byte at offset 29 of a data file header (levels 3, 4 and 25), or the
// 32-byte name at offset 32 (level 7), that tells in which code page a table keeps its text.
//
// The table of 256 entries maps a language driver ID (LDID) to a code page, a Windows locale
// identifier and a three-character suffix used in level-7 names ("DB866RU0" = code page 866,
// Russian). IDs absent from the table have code page 0 (unknown).
//
// IDs fall into two ranges, one per dialect family:
//   FoxPro: 0x01-0x04, 0x64-0x7E, 0x86-0x88, 0x96-0x98, 0xC8-0xCB
//   dBASE:  every other ID
// A selection prefers an entry from the range of the asked dialect and, within a range, the
// lowest ID; an entry from the other range is taken only when its own range has none.
//
// Level-7 names. Built as "DB" + ("WIN" for 1252, else the code page in decimal) + suffix,
// or for FoxPro "FOX" + suffix + ("WIN" or the code page); LDID 0x8E is the whole name
// "BGDB868". The code page of a name: "DBWIN…" = 1252, "DBHEBREW" = 1255, "DBnnn…" = nnn
// with a fourth digit when the sixth character is one, "FOX??WIN" = 1252, "FOX??nnn" = nnn,
// anything else 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lgoty::dbf {

struct TLanguageDriver {
  int code_page = 0;         // 0 = unknown
  uint32_t locale = 0;       // Windows locale identifier
  const char* suffix = nullptr;  // nullptr = none; "" = empty suffix
  bool whole_name = false;   // the suffix is the complete level-7 name
};

const TLanguageDriver& LanguageDriverOf(uint8_t ldid);
inline int CodePageOfLdid(uint8_t ldid) { return LanguageDriverOf(ldid).code_page; }
bool IsFoxProLdid(uint8_t ldid);

// The LDID for a code page (0 = any) and a locale; when no entry has both, an entry with the
// code page under any locale, then one with the locale under any code page. 0 when nothing
// fits.
uint8_t SelectLdidByLocale(int code_page, uint32_t locale, bool foxpro);
// The LDID for a code page (0 = any) and a level-7 suffix; 0 when nothing fits.
uint8_t SelectLdidBySuffix(int code_page, std::string_view suffix, bool foxpro);

// The level-7 language driver name for a code page and locale; empty when the selection
// gives LDID 0. At most 31 characters.
std::string BuildLevel7LanguageName(int code_page, uint32_t locale, bool foxpro);
// The code page a level-7 name stands for (0 when the name is not understood).
int CodePageOfLevel7Name(std::string_view name);
// The LDID a level-7 name stands for (0 when nothing fits).
uint8_t LdidOfLevel7Name(std::string_view name);

// The Windows locale identifier of a language code ("ru" -> 0x0419); a language we do not
// know, and "" (a locale naming no language), give Russian, like the code page defaults.
uint32_t LocaleIdOfLanguage(std::string_view language);

// Engine-wide defaults, fixed at first use.
struct TDbfGlobals {
  int default_code_page = 0;    // the system's ANSI code page
  uint32_t user_locale = 0;     // the user's default locale identifier
  uint8_t default_ldid = 0;     // LDID of new tables whose caller asks for none
  std::string user_name;        // written into "_DBASELOCK" fields, at most 16 characters
  std::vector<int> installed_code_pages;  // ascending; a table in another one opens read-only
};
const TDbfGlobals& DbfGlobals();
// Replaces the code page of tables that name none (no language driver byte) for the rest of
// the process, as running under a system whose ANSI page it is would; tables opened before
// keep theirs.
void SetDefaultCodePage(int code_page);

inline constexpr size_t kMaxLockUserName = 16;

}  // namespace lgoty::dbf
