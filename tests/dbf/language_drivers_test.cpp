#include "dbf/language_drivers.h"

#include <gtest/gtest.h>

#include "core/code_page.h"

namespace lgoty::dbf {
namespace {

TEST(LanguageDrivers, TableGivesCodePageLocaleAndSuffix) {
  EXPECT_EQ(CodePageOfLdid(0x65), 866);
  EXPECT_EQ(LanguageDriverOf(0x65).locale, 0x0419u);
  EXPECT_STREQ(LanguageDriverOf(0x65).suffix, "RU0");
  EXPECT_EQ(CodePageOfLdid(0xC9), 1251);
  EXPECT_EQ(CodePageOfLdid(0x57), 1252);
  EXPECT_EQ(LanguageDriverOf(0x7A).locale, 0x21004u);
  EXPECT_EQ(CodePageOfLdid(0x00), 0);
  EXPECT_EQ(CodePageOfLdid(0x05), 0) << "IDs not listed are unknown";
  EXPECT_EQ(CodePageOfLdid(0xFF), 0);
  EXPECT_STREQ(LanguageDriverOf(0x9B).suffix, "");
  EXPECT_EQ(LanguageDriverOf(0x00).suffix, nullptr);
}

TEST(LanguageDrivers, SelectionPrefersTheDialectsRange) {
  EXPECT_EQ(SelectLdidByLocale(866, 0x0419, false), 0x26);
  EXPECT_EQ(SelectLdidByLocale(866, 0x0419, true), 0x65);
  EXPECT_EQ(SelectLdidByLocale(1251, 0x0419, false), 0xC9) << "only FoxPro has it";
  EXPECT_EQ(SelectLdidByLocale(0, 0x0419, false), 0x26) << "any code page";
  // No entry for the pair: the code page is kept rather than the locale.
  EXPECT_EQ(SelectLdidByLocale(1252, 0x0409, false), 0x57);
  EXPECT_EQ(SelectLdidByLocale(1252, 0x0409, true), 0x03);
  // No entry for the code page at all: the locale decides.
  EXPECT_EQ(SelectLdidByLocale(12345, 0x0419, false), 0x26);
  EXPECT_EQ(SelectLdidByLocale(12345, 0x7777, false), 0);
  EXPECT_EQ(SelectLdidBySuffix(866, "RU0", false), 0x26);
  EXPECT_EQ(SelectLdidBySuffix(10007, "RU0", false), 0x96);
  EXPECT_EQ(SelectLdidBySuffix(866, "XX0", false), 0);
}

TEST(LanguageDrivers, Level7NamesAreBuiltFromCodePageAndSuffix) {
  EXPECT_EQ(BuildLevel7LanguageName(1252, 0x0000, false), "DBWINUS0");
  EXPECT_EQ(BuildLevel7LanguageName(866, 0x0419, false), "DB866RU0");
  EXPECT_EQ(BuildLevel7LanguageName(1251, 0x0419, false), "DB1251RU0");
  EXPECT_EQ(BuildLevel7LanguageName(868, 0x0402, false), "BGDB868");
  EXPECT_EQ(BuildLevel7LanguageName(866, 0x0419, true), "FOXRU0866");
  EXPECT_EQ(BuildLevel7LanguageName(12345, 0x7777, false), "");
}

TEST(LanguageDrivers, Level7NamesGiveCodePageAndLdid) {
  EXPECT_EQ(CodePageOfLevel7Name("DBWINUS0"), 1252);
  EXPECT_EQ(CodePageOfLevel7Name("DBHEBREW"), 1255);
  EXPECT_EQ(CodePageOfLevel7Name("DB866RU0"), 866);
  EXPECT_EQ(CodePageOfLevel7Name("DB1251RU0"), 1251);
  EXPECT_EQ(CodePageOfLevel7Name("FOXRUWIN"), 1252);
  EXPECT_EQ(CodePageOfLevel7Name("FOXRU866"), 866);
  EXPECT_EQ(CodePageOfLevel7Name(std::string("DB437US0\0\0\0", 11)), 437);
  EXPECT_EQ(CodePageOfLevel7Name("ascii"), 0);
  EXPECT_EQ(CodePageOfLevel7Name(""), 0);
  EXPECT_EQ(CodePageOfLevel7Name("DBxyz"), 0);

  EXPECT_EQ(LdidOfLevel7Name("DBWINUS0"), 0x57);
  EXPECT_EQ(LdidOfLevel7Name("DB866RU0"), 0x26);
  EXPECT_EQ(LdidOfLevel7Name("DB1251RU0"), 0xC9);
  EXPECT_EQ(LdidOfLevel7Name("BGDB868"), 0x8E);
  EXPECT_EQ(LdidOfLevel7Name("DBHEBREW"), 0x7D);
  EXPECT_EQ(LdidOfLevel7Name("garbage"), 0);
}

TEST(LanguageDrivers, EngineDefaultsFollowTheSystem) {
  const TDbfGlobals& g = DbfGlobals();
  EXPECT_EQ(g.default_code_page, core::AnsiCodePage());
  EXPECT_LE(g.user_name.size(), kMaxLockUserName);
  EXPECT_NE(g.default_ldid, 0);
  EXPECT_EQ(CodePageOfLdid(g.default_ldid), g.default_code_page);
  EXPECT_EQ(LocaleIdOfLanguage("ru"), 0x0419u);
  EXPECT_EQ(LocaleIdOfLanguage("en"), 0x0409u);
  EXPECT_EQ(LocaleIdOfLanguage(""), 0x0419u);
}

}  // namespace
}  // namespace lgoty::dbf
