#include "dbf/language_drivers.h"

#include <array>
#include <cstring>

#include "core/code_page.h"
#include "core/format_settings.h"
#include "platform/system.h"

namespace lgoty::dbf {

namespace {

struct Entry {
  uint8_t ldid;
  int code_page;
  uint32_t locale;
  const char* suffix;
  bool whole_name = false;
};

// clang-format off
constexpr Entry kEntries[] = {
    {0x01, 437, 0x0409, "US0"}, {0x02, 850, 0x0809, "UK0"}, {0x03, 1252, 0x0809, "UK0"},
    {0x04, 10000, 0x0809, "UK0"}, {0x08, 865, 0x0406, "DA0"}, {0x09, 437, 0x0413, "NL0"},
    {0x0A, 850, 0x0413, "NL0"}, {0x0B, 437, 0x040B, "FI0"}, {0x0C, 850, 0x040B, "FI0"},
    {0x0D, 437, 0x040C, "FR0"}, {0x0E, 850, 0x040C, "FR0"}, {0x0F, 437, 0x0407, "DE0"},
    {0x10, 850, 0x0407, "DE0"}, {0x11, 437, 0x0410, "IT0"}, {0x12, 850, 0x0410, "IT1"},
    {0x13, 932, 0x0411, "JP0"}, {0x14, 850, 0x040A, "ES0"}, {0x15, 437, 0x041D, "SV0"},
    {0x16, 850, 0x041D, "SV1"}, {0x17, 865, 0x0414, "NO0"}, {0x18, 437, 0x040A, "ES1"},
    {0x19, 437, 0x0809, "UK0"}, {0x1A, 850, 0x0809, "UK0"}, {0x1B, 437, 0x0409, "US0"},
    {0x1C, 863, 0x0C0C, "CF1"}, {0x1D, 850, 0x0C0C, "CF1"}, {0x1F, 852, 0x0405, "CZ0"},
    {0x20, 867, 0x0405, "CZ0"}, {0x22, 852, 0x040E, "HDC"}, {0x23, 852, 0x0415, "PO0"},
    {0x24, 860, 0x0416, "PT0"}, {0x25, 850, 0x0416, "PT0"}, {0x26, 866, 0x0419, "RU0"},
    {0x37, 850, 0x0409, "US0"}, {0x4D, 936, 0x0804, "CN0"}, {0x4E, 949, 0x0412, "KO0"},
    {0x4F, 950, 0x0404, "TW0"}, {0x50, 874, 0x041E, "TH0"}, {0x56, 932, 0x0411, "JP1"},
    {0x57, 1252, 0x0000, "US0"}, {0x58, 1252, 0x0809, "WE0"}, {0x59, 1252, 0x040A, "ES0"},
    {0x5E, 437, 0x0407, "DE"}, {0x5F, 437, 0x0414, "NO"}, {0x60, 850, 0x0414, "NO"},
    {0x61, 1252, 0x0407, "DE"}, {0x62, 1252, 0x0414, "NO"}, {0x64, 852, 0x0405, "CZ0"},
    {0x65, 866, 0x0419, "RU0"}, {0x66, 865, 0x0414, "NO"}, {0x67, 861, 0x040F, "IC0"},
    {0x68, 895, 0x0405, "CZ0"}, {0x69, 620, 0x0415, "PO1"}, {0x6A, 737, 0x0408, "GR0"},
    {0x6B, 857, 0x041F, "TR0"}, {0x78, 950, 0x0C04, "CH0"}, {0x79, 949, 0x0412, "KO0"},
    {0x7A, 936, 0x21004, "CS0"}, {0x7B, 932, 0x0411, "JP0"}, {0x7C, 874, 0x041E, "TH0"},
    {0x7D, 1255, 0x040D, "REW"}, {0x7E, 1256, 0x0401, "AR0"}, {0x85, 862, 0x040D, "REW"},
    {0x86, 437, 0x0408, "GR0"}, {0x87, 852, 0x041B, "SL0"}, {0x88, 857, 0x041F, "TR0"},
    {0x8E, 868, 0x0402, "BGDB868", true}, {0x96, 10007, 0x0419, "RU0"},
    {0x97, 10029, 0x0405, "CZ0"}, {0x98, 10006, 0x0408, "GR0"}, {0x9B, 1250, 0x0405, ""},
    {0x9C, 850, 0x0405, ""}, {0xC8, 1250, 0x0405, "CZ0"}, {0xC9, 1251, 0x0419, "RU0"},
    {0xCA, 1254, 0x041F, "TR0"}, {0xCB, 1253, 0x0408, "GR0"},
};
// clang-format on

std::array<TLanguageDriver, 256> BuildTable() {
  std::array<TLanguageDriver, 256> table{};
  for (const Entry& e : kEntries) {
    table[e.ldid] = TLanguageDriver{e.code_page, e.locale, e.suffix, e.whole_name};
  }
  return table;
}

const std::array<TLanguageDriver, 256>& Table() {
  static const std::array<TLanguageDriver, 256> table = BuildTable();
  return table;
}

// Scans the asked dialect's range first, then the other; lowest ID wins within a range.
template <typename Match>
uint8_t Select(bool foxpro, Match match) {
  for (bool pass_foxpro : {foxpro, !foxpro}) {
    for (int id = 1; id < 256; ++id) {
      auto ldid = static_cast<uint8_t>(id);
      if (IsFoxProLdid(ldid) != pass_foxpro) continue;
      const TLanguageDriver& d = Table()[ldid];
      if (d.code_page == 0) continue;
      if (match(d)) return ldid;
    }
  }
  return 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number of text (digits only, at most four), 0 when it is not one.
int ParseNumber(std::string_view text) {
  if (text.empty()) return 0;
  int value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string_view Sub(std::string_view s, size_t pos, size_t len) {
  return pos >= s.size() ? std::string_view{} : s.substr(pos, len);
}

// The name up to its first NUL.
std::string_view Trimmed(std::string_view name) {
  size_t nul = name.find('\0');
  return nul == std::string_view::npos ? name : name.substr(0, nul);
}

struct ParsedName {
  int code_page = 0;
  std::string_view suffix;
};

// Splits a level-7 name into its code page and suffix. The code page of a "DB" name may
// have four digits ("DB1251RU0"), so its suffix starts after the digits actually present.
ParsedName ParseName(std::string_view name) {
  ParsedName parsed;
  if (name.starts_with("FOX")) {
    parsed.suffix = Sub(name, 3, 2);
    std::string_view cp = Sub(name, 5, 3);
    parsed.code_page = cp == "WIN" ? 1252 : cp == "REW" ? 1255 : ParseNumber(cp);
    return parsed;
  }
  if (!name.starts_with("DB")) return parsed;
  if (Sub(name, 2, 6) == "HEBREW") {
    parsed.code_page = 1255;
    parsed.suffix = "REW";
    return parsed;
  }
  std::string_view cp = Sub(name, 2, 3);
  if (cp == "WIN" || cp == "REW") {
    parsed.code_page = cp == "WIN" ? 1252 : 1255;
    parsed.suffix = Sub(name, 5, 3);
    return parsed;
  }
  size_t digits = 3;
  if (name.size() > 5 && IsDigit(name[5])) digits = 4;
  parsed.code_page = ParseNumber(Sub(name, 2, digits));
  parsed.suffix = Sub(name, 2 + digits, 3);
  return parsed;
}

}  // namespace

const TLanguageDriver& LanguageDriverOf(uint8_t ldid) { return Table()[ldid]; }

bool IsFoxProLdid(uint8_t id) {
  return (id >= 0x01 && id <= 0x04) || (id >= 0x64 && id <= 0x7E) ||
         (id >= 0x86 && id <= 0x88) || (id >= 0x96 && id <= 0x98) || (id >= 0xC8 && id <= 0xCB);
}

uint8_t SelectLdidByLocale(int code_page, uint32_t locale, bool foxpro) {
  auto cp_fits = [code_page](const TLanguageDriver& d) {
    return code_page == 0 || d.code_page == code_page;
  };
  if (uint8_t id = Select(foxpro, [&](const TLanguageDriver& d) {
        return d.locale == locale && cp_fits(d);
      })) {
    return id;
  }
  // A code page that has no entry for this locale is still better served by an entry of the
  // same code page than by one that would store the text in another code page.
  if (code_page != 0) {
    if (uint8_t id = Select(foxpro, [&](const TLanguageDriver& d) { return cp_fits(d); })) {
      return id;
    }
  }
  return Select(foxpro, [&](const TLanguageDriver& d) { return d.locale == locale; });
}

uint8_t SelectLdidBySuffix(int code_page, std::string_view suffix, bool foxpro) {
  return Select(foxpro, [&](const TLanguageDriver& d) {
    if (d.suffix == nullptr || d.whole_name) return false;
    if (code_page != 0 && d.code_page != code_page) return false;
    std::string_view own = d.suffix;
    // FoxPro names carry a two-character suffix; compare what the name holds.
    if (suffix.size() < own.size() && !suffix.empty()) own = own.substr(0, suffix.size());
    return own == suffix;
  });
}

std::string BuildLevel7LanguageName(int code_page, uint32_t locale, bool foxpro) {
  uint8_t ldid = SelectLdidByLocale(code_page, locale, foxpro);
  if (ldid == 0) return {};
  const TLanguageDriver& d = LanguageDriverOf(ldid);
  if (d.whole_name) return d.suffix;
  std::string cp_text = d.code_page == 1252 ? "WIN" : std::to_string(d.code_page);
  std::string suffix = d.suffix != nullptr ? d.suffix : "";
  std::string name = foxpro ? "FOX" + suffix + cp_text : "DB" + cp_text + suffix;
  if (name.size() > 31) name.resize(31);
  return name;
}

int CodePageOfLevel7Name(std::string_view raw) {
  std::string_view name = Trimmed(raw);
  if (name.starts_with("DB")) {
    if (Sub(name, 2, 3) == "WIN") return 1252;
    if (Sub(name, 2, 6) == "HEBREW") return 1255;
    int cp = ParseNumber(Sub(name, 2, 3));
    if (cp != 0 && name.size() > 5 && IsDigit(name[5])) cp = cp * 10 + (name[5] - '0');
    return cp;
  }
  if (name.starts_with("FOX")) {
    std::string_view cp = Sub(name, 5, 3);
    if (cp == "WIN") return 1252;
    return ParseNumber(cp);
  }
  return 0;
}

uint8_t LdidOfLevel7Name(std::string_view raw) {
  std::string_view name = Trimmed(raw);
  if (name == "BGDB868") return 0x8E;
  ParsedName parsed = ParseName(name);
  if (parsed.code_page == 0) return 0;
  return SelectLdidBySuffix(parsed.code_page, parsed.suffix, name.starts_with("FOX"));
}

uint32_t LocaleIdOfLanguage(std::string_view language) {
  struct Pair {
    const char* language;
    uint32_t locale;
  };
  static constexpr Pair kLocales[] = {
      {"ru", 0x0419}, {"en", 0x0409}, {"de", 0x0407}, {"fr", 0x040C}, {"it", 0x0410},
      {"es", 0x040A}, {"pt", 0x0416}, {"nl", 0x0413}, {"sv", 0x041D}, {"da", 0x0406},
      {"fi", 0x040B}, {"no", 0x0414}, {"nb", 0x0414}, {"nn", 0x0814}, {"pl", 0x0415},
      {"cs", 0x0405}, {"hu", 0x040E}, {"sk", 0x041B}, {"el", 0x0408}, {"tr", 0x041F},
      {"he", 0x040D}, {"ar", 0x0401}, {"ja", 0x0411}, {"zh", 0x0804}, {"ko", 0x0412},
      {"th", 0x041E}, {"is", 0x040F}, {"bg", 0x0402}, {"uk", 0x0422}, {"be", 0x0423},
  };
  for (const Pair& p : kLocales) {
    if (language == p.language) return p.locale;
  }
  return 0x0419;
}

namespace {
TDbfGlobals& Globals() {
  static TDbfGlobals globals = [] {
    TDbfGlobals g;
    g.default_code_page = core::AnsiCodePage();
    g.user_locale = LocaleIdOfLanguage(core::LocaleLanguage());
    g.default_ldid = SelectLdidByLocale(g.default_code_page, g.user_locale, false);
    g.user_name = platform::ComputerName();
    if (g.user_name.size() > kMaxLockUserName) g.user_name.resize(kMaxLockUserName);
    g.installed_code_pages = core::InstalledCodePages();
    return g;
  }();
  return globals;
}
}  // namespace

const TDbfGlobals& DbfGlobals() { return Globals(); }

void SetDefaultCodePage(int code_page) { Globals().default_code_page = code_page; }

}  // namespace lgoty::dbf
