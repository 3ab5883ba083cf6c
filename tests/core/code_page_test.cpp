#include "core/code_page.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/exception.h"

namespace lgoty::core {
namespace {

// One byte through the C library's iconv, as an independent reference; nullopt when iconv
// rejects the byte.
std::optional<std::string> IconvByte(const char* code_set, unsigned char byte) {
  iconv_t cd = iconv_open("UTF-8", code_set);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  char input[1] = {static_cast<char>(byte)};
  char output[16];
  char* in = input;
  size_t in_left = 1;
  char* out = output;
  size_t out_left = sizeof output;
  const size_t result = iconv(cd, &in, &in_left, &out, &out_left);
  iconv(cd, nullptr, nullptr, &out, &out_left);
  iconv_close(cd);
  if (result == static_cast<size_t>(-1) || in_left != 0) return std::nullopt;
  return std::string(output, static_cast<size_t>(out - output));
}

std::string AllBytes() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  return bytes;
}

const std::vector<int> kLanguageDriverCodePages = {
    437, 620, 737, 850, 852, 857, 860, 861, 862, 863, 865, 866, 867, 868, 874, 895, 932,
    936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 10000, 10006, 10007, 10029};

TEST(CodePage, LanguageDriverCodePagesAreInstalledExceptThoseIconvLacks) {
  const std::vector<int> missing = {620, 867, 895, 10006};
  for (int number : kLanguageDriverCodePages) {
    const bool expected = std::find(missing.begin(), missing.end(), number) == missing.end();
    EXPECT_EQ(IsCodePageInstalled(number), expected) << number;
    if (expected) {
      ASSERT_NE(FindCodePage(number), nullptr);
      EXPECT_EQ(FindCodePage(number)->Number(), number);
    }
  }
  const std::vector<int> installed = InstalledCodePages();
  EXPECT_TRUE(std::is_sorted(installed.begin(), installed.end()));
  EXPECT_EQ(std::count(installed.begin(), installed.end(), 1251), 1);
}

TEST(CodePage, EverySingleByteCodePageRoundTripsAllBytes) {
  const std::string bytes = AllBytes();
  for (int number : InstalledCodePages()) {
    const CodePage* page = FindCodePage(number);
    if (!page->IsSingleByte()) continue;
    const std::string utf8 = page->ToUtf8(bytes);
    EXPECT_EQ(page->FromUtf8(utf8), bytes) << number;
    EXPECT_EQ(utf8.substr(0, 128), bytes.substr(0, 128)) << number;
  }
}

TEST(CodePage, TablesAgreeWithIconvOnDefinedBytes) {
  struct Case {
    int number;
    const char* iconv_name;
  };
  for (const Case& c : {Case{866, "CP866"}, Case{1251, "CP1251"}, Case{1252, "CP1252"},
                        Case{850, "CP850"}, Case{10007, "CP10007"}}) {
    for (int b = 0; b < 256; ++b) {
      const std::string byte(1, static_cast<char>(b));
      const std::optional<std::string> reference = IconvByte(c.iconv_name, static_cast<unsigned char>(b));
      if (reference) {
        EXPECT_EQ(ToUtf8(c.number, byte), *reference) << c.number << " byte " << b;
      } else {
        // Undefined: the code point of the same value (U+0080..U+00FF).
        std::string same_value;
        same_value.push_back(static_cast<char>(0xC0 | (b >> 6)));
        same_value.push_back(static_cast<char>(0x80 | (b & 0x3F)));
        EXPECT_EQ(ToUtf8(c.number, byte), same_value) << c.number << " byte " << b;
      }
    }
  }
}

TEST(CodePage, UndefinedByteWhoseValueIsTakenStillRoundTrips) {
  // In 857, 0x87 is "ç" (U+00E7) and 0xE7 is undefined.
  EXPECT_EQ(ToUtf8(857, "\x87"), "ç");
  EXPECT_EQ(FromUtf8(857, "ç"), "\x87");
  EXPECT_NE(ToUtf8(857, "\xE7"), "ç");
  EXPECT_EQ(FromUtf8(857, ToUtf8(857, "\xE7\x87")), "\xE7\x87");
}

TEST(CodePage, CyrillicSampleIn866And1251) {
  const std::string sample = "Ёжиков Пётр";
  EXPECT_EQ(FromUtf8(1251, sample), "\xA8\xE6\xE8\xEA\xEE\xE2 \xCF\xB8\xF2\xF0");
  EXPECT_EQ(FromUtf8(866, sample), "\xF0\xA6\xA8\xAA\xAE\xA2 \x8F\xF1\xE2\xE0");
  EXPECT_EQ(ToUtf8(1251, FromUtf8(1251, sample)), sample);
  EXPECT_EQ(ToUtf8(866, FromUtf8(866, sample)), sample);
  EXPECT_EQ(TranslateCodePage(1251, 866, FromUtf8(1251, sample)), FromUtf8(866, sample));
  EXPECT_EQ(TranslateCodePage(866, 1251, FromUtf8(866, sample)), FromUtf8(1251, sample));
}

TEST(CodePage, UnmappableCharactersAndBrokenUtf8BecomeQuestionMarks) {
  EXPECT_EQ(FromUtf8(1251, "a€b"), "a\x88" "b");  // the euro sign exists in 1251
  EXPECT_EQ(FromUtf8(866, "a€b"), "a?b");
  EXPECT_EQ(FromUtf8(1251, "日本"), "??");
  EXPECT_EQ(FromUtf8(1251, "x\U0001F600y"), "x?y");
  // A stray continuation byte, a truncated sequence, an overlong '/' and a surrogate.
  EXPECT_EQ(FromUtf8(1251, "a\x80" "b"), "a?b");
  EXPECT_EQ(FromUtf8(1251, "a\xD0"), "a?");
  EXPECT_EQ(FromUtf8(1251, "\xC0\xAF"), "??");
  EXPECT_EQ(FromUtf8(1251, "\xED\xA0\x80"), "???");
  // Between single-byte pages: a letter the target lacks.
  EXPECT_EQ(TranslateCodePage(1251, 1252, "\xC6"), "?");  // Ж
  EXPECT_EQ(TranslateCodePage(1252, 1252, "\xC6\x81"), "\xC6\x81");
}

TEST(CodePage, MultiByteCodePagesRoundTripTheirScripts) {
  struct Case {
    int number;
    std::string text;
    std::string bytes_prefix;
  };
  const std::vector<Case> cases = {
      {932, "カタカナ ひらがな 漢字 ｶﾅ", "\x83\x4A"},
      {936, "中华人民共和国 汉字", "\xD6\xD0"},
      {949, "한국어 대한민국", "\xC7\xD1"},
      {950, "中華民國 繁體字", "\xA4\xA4"},
  };
  for (const Case& c : cases) {
    const CodePage* page = FindCodePage(c.number);
    ASSERT_NE(page, nullptr) << c.number;
    EXPECT_FALSE(page->IsSingleByte());
    const std::string bytes = page->FromUtf8(c.text);
    EXPECT_EQ(bytes.substr(0, c.bytes_prefix.size()), c.bytes_prefix) << c.number;
    EXPECT_EQ(bytes.find('?'), std::string::npos) << c.number;
    EXPECT_EQ(page->ToUtf8(bytes), c.text) << c.number;
  }
}

TEST(CodePage, MultiByteReplacesBadInputWithoutStopping) {
  // A Thai letter (absent from 949) and an invalid UTF-8 byte inside Korean text.
  EXPECT_EQ(FromUtf8(949, "한ก\xFF" "a"), "\xC7\xD1??a");
  // 932: a lone lead byte at the end, and a lead byte followed by an invalid trail byte.
  EXPECT_EQ(ToUtf8(932, "a\x82"), "a\xEF\xBF\xBD");
  EXPECT_EQ(ToUtf8(932, "\x82\x0A" "b"), "\xEF\xBF\xBD\nb");
  EXPECT_EQ(TranslateCodePage(932, 1251, "\x83\x4A" "a"), "?a");
}

TEST(CodePage, MultiByteConvertsLongTextsAndFromManyThreads) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "漢字かな";
  const std::string bytes = FromUtf8(932, text);
  ASSERT_EQ(bytes.size(), 2000u * 8);
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        if (ToUtf8(932, bytes) != text || FromUtf8(932, text) != bytes) ++failures[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(CodePage, UninstalledCodePageThrows) {
  EXPECT_EQ(FindCodePage(895), nullptr);
  try {
    ToUtf8(895, "abc");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Code page 895 is not installed");
  }
  EXPECT_THROW(FromUtf8(12345, "a"), Exception);
  EXPECT_THROW(TranslateCodePage(866, 620, "a"), Exception);
}

TEST(CodePage, CodePagesForLocale) {
  struct Case {
    const char* locale;
    int ansi;
    int oem;
  };
  for (const Case& c : {Case{"ru_RU.UTF-8", 1251, 866}, Case{"ru", 1251, 866},
                        Case{"uk_UA.utf8", 1251, 866}, Case{"en_US.UTF-8", 1252, 437},
                        Case{"en_GB.UTF-8", 1252, 850}, Case{"de_DE@euro", 1252, 850},
                        Case{"fr-CA", 1252, 850}, Case{"PL_pl", 1250, 852},
                        Case{"cs_CZ.ISO-8859-2", 1250, 852}, Case{"el_GR", 1253, 737},
                        Case{"tr_TR", 1254, 857}, Case{"he_IL", 1255, 862},
                        Case{"ar_EG", 1256, 720}, Case{"lt_LT", 1257, 775},
                        Case{"ja_JP.eucJP", 932, 932}, Case{"zh_CN.GB18030", 936, 936},
                        Case{"zh_TW.Big5", 950, 950}, Case{"zh-Hant-HK", 950, 950},
                        Case{"ko_KR", 949, 949}, Case{"th_TH", 874, 874},
                        Case{"sr_RS@latin", 1250, 852}, Case{"C", 1251, 866},
                        Case{"C.UTF-8", 1251, 866}, Case{"POSIX", 1251, 866}, Case{"", 1251, 866}}) {
    const SystemCodePages pages = CodePagesForLocale(c.locale);
    EXPECT_EQ(pages.ansi, c.ansi) << c.locale;
    EXPECT_EQ(pages.oem, c.oem) << c.locale;
  }
}

TEST(CodePage, SystemCodePagesCanBeOverridden) {
  const int ansi = AnsiCodePage();
  const int oem = OemCodePage();
  SetSystemCodePages({1252, 850});
  EXPECT_EQ(AnsiCodePage(), 1252);
  EXPECT_EQ(OemCodePage(), 850);
  SetSystemCodePages({ansi, oem});
  EXPECT_EQ(AnsiCodePage(), ansi);
}

}  // namespace
}  // namespace lgoty::core
