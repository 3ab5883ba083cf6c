// Windows code pages at the system's boundaries. Inside the program all text is UTF-8;
// DBF text, ANSI template strings and OEM text are converted here.
//
// Single-byte code pages convert through 256-entry tables generated from glibc's iconv
// (core/code_page_tables.inc, made by tools/gen_code_page_tables.py). A byte that the code page
// leaves undefined maps to the code point of the same value (U+0080..U+00FF) and back, so a
// read-modify-write of a record never changes a byte. (Where that code point already belongs
// to a defined byte, as for 0xD5, 0xE7 and 0xF2 of 857, the undefined byte maps to the
// private-use code point U+F700 + byte instead.) Bytes 0x00..0x7F are ASCII in every table.
// Multi-byte code pages (932, 936, 949, 950) go through iconv at run time, one descriptor per
// direction behind a lock. A code page that neither covers is not installed: of the code pages
// language drivers name, 620, 867, 895 and 10006, and 720 (the Arabic OEM code page).
//
// All functions are safe to call from several threads.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lgoty::core {

class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual int Number() const = 0;
  virtual bool IsSingleByte() const = 0;
  // Bytes in this code page to UTF-8. Never fails: an invalid multi-byte sequence gives
  // U+FFFD for its first byte.
  virtual std::string ToUtf8(std::string_view bytes) const = 0;
  // UTF-8 to bytes in this code page. A character the code page cannot represent, and a
  // byte that is not valid UTF-8, becomes '?'. U+0080..U+00FF that stand for undefined bytes
  // of a single-byte code page map back to those bytes.
  virtual std::string FromUtf8(std::string_view utf8) const = 0;
};

// The converter of a code page, nullptr when it is not installed. Converters live for the
// whole process.
const CodePage* FindCodePage(int number);
bool IsCodePageInstalled(int number);
// Every code page number that FindCodePage serves, ascending.
std::vector<int> InstalledCodePages();

// Convenience forms; an uninstalled code page throws core::Exception
// ("Code page %d is not installed").
std::string ToUtf8(int code_page, std::string_view bytes);
std::string FromUtf8(int code_page, std::string_view utf8);
// Bytes from one code page to another (through UTF-8; equal code pages copy).
std::string TranslateCodePage(int from_code_page, int to_code_page, std::string_view bytes);

struct SystemCodePages {
  int ansi;
  int oem;
};
// The ANSI/OEM pair a Windows desktop of that locale would have: ru -> 1251/866,
// en -> 1252/437, de/fr/it/es/pt/nl/sv/... -> 1252/850, pl/cs/hu -> 1250/852, el -> 1253/737,
// tr -> 1254/857, he -> 1255/862, ar -> 1256/720, ... A locale that names no language
// (C, POSIX, "") gives 1251/866.
SystemCodePages CodePagesForLocale(std::string_view locale_name);
// The pair of the process environment's locale, fixed at first use (tests may override).
int AnsiCodePage();
int OemCodePage();
void SetSystemCodePages(SystemCodePages pages);

}  // namespace lgoty::core
