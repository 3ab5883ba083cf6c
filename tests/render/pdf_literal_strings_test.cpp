// Glyph ids written as literal strings against the same runs written as hexadecimal
// strings: read back by the rules a PDF reader follows (escapes, octal codes, line ends
// inside a string), both give the same bytes in the same places, the rest of the content
// is the same, and the text extracted from both files is the same.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "render/pdf_canvas.h"
#include "tests/render/command_output.h"
#include "tests/render/pdf_contents.h"

namespace lgoty::render {
namespace {

using report::CanvasFont;

using lgoty::testing::ReadAll;

// Every page content of the file, inflated and put one after another.
std::string Contents(const std::string& file) {
  std::string all;
  for (const std::string& page : lgoty::testing::InflatedPageContents(file)) all += page;
  return all;
}

// A literal string's bytes as a reader takes them; at is just past the "(".
std::string ReadLiteral(const std::string& s, size_t& at) {
  std::string out;
  int depth = 1;
  while (at < s.size()) {
    const char c = s[at++];
    if (c == '\\' && at < s.size()) {
      const char n = s[at++];
      switch (n) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case '\r':
          if (at < s.size() && s[at] == '\n') ++at;
          break;  // a line continued
        case '\n': break;
        default:
          if (n >= '0' && n <= '7') {
            int value = n - '0';
            for (int i = 0; i < 2 && at < s.size() && s[at] >= '0' && s[at] <= '7'; ++i) {
              value = value * 8 + (s[at++] - '0');
            }
            out += static_cast<char>(value & 0xFF);
          } else {
            out += n;  // "(", ")", "\" and any other byte stand for themselves
          }
      }
    } else if (c == '(') {
      ++depth;
      out += c;
    } else if (c == ')') {
      if (--depth == 0) return out;
      out += c;
    } else if (c == '\r') {
      if (at < s.size() && s[at] == '\n') ++at;
      out += '\n';  // any line end in a string is one LF
    } else {
      out += c;
    }
  }
  ADD_FAILURE() << "a string is not closed";
  return out;
}

std::string ReadHex(const std::string& s, size_t& at) {
  std::string out;
  const size_t end = s.find('>', at);
  for (size_t i = at; i + 1 < end; i += 2) {
    out += static_cast<char>(std::stoi(s.substr(i, 2), nullptr, 16));
  }
  at = end + 1;
  return out;
}

// The strings of a content in order, and the content with each string replaced by "$".
void Split(const std::string& content, std::vector<std::string>& strings, std::string& rest) {
  for (size_t at = 0; at < content.size();) {
    const char c = content[at++];
    if (c == '(') {
      strings.push_back(ReadLiteral(content, at));
      rest += '$';
    } else if (c == '<') {
      strings.push_back(ReadHex(content, at));
      rest += '$';
    } else {
      rest += c;
    }
  }
}

TEST(PdfLiteralStrings, GlyphIdsReadBackAsTheHexadecimalOnesAndTheTextIsTheSame) {
  QTemporaryDir dir;
  CanvasFont fonts[3];
  fonts[1].name = "Times New Roman";
  fonts[1].style = report::font_style::fsBold;
  fonts[2].name = "Courier New";
  fonts[2].style = report::font_style::fsItalic;
  // Latin, Latin-1 and Latin Extended-A, Greek, Cyrillic: glyph ids of many hundreds, whose
  // bytes include the delimiters, the backslash and both line ends.
  std::vector<std::u32string> runs;
  for (auto [first, last] : {std::pair{0x21, 0x7E}, {0xA1, 0x17F}, {0x391, 0x3C9}, {0x400, 0x45F}}) {
    std::u32string run;
    for (char32_t c = static_cast<char32_t>(first); c <= static_cast<char32_t>(last); ++c) {
      if (c == 0xAD) continue;  // the soft hyphen has no glyph of its own
      run += c;
      if (run.size() == 24) runs.push_back(std::exchange(run, {}));
    }
    if (!run.empty()) runs.push_back(run);
  }
  std::string contents[2];
  for (int hex = 0; hex < 2; ++hex) {
    const QString path = dir.filePath(hex ? "hex.pdf" : "literal.pdf");
    {
      PdfCanvas canvas(path);
      canvas.WriteHexStrings(hex == 1);
      canvas.BeginPage(800, 1100);
      double y = 20;
      for (size_t f = 0; f < 3; ++f) {
        for (size_t r = 0; r < runs.size(); ++r) {
          // The run in one piece, and now and then with spacing or turned (written the
          // general way).
          const double spacing = r % 5 == 1 ? 0.5 : 0;
          const double rotation = r % 7 == 3 ? 90 : 0;
          canvas.DrawChars(rotation != 0 ? 780 : 10, y, runs[r], fonts[f], spacing, rotation);
          y += 16;
          if (y > 1080) {
            canvas.BeginPage(800, 1100);
            y = 20;
          }
        }
      }
      canvas.EndPage();
      ASSERT_TRUE(canvas.Finish());
    }
    contents[hex] = Contents(ReadAll(path));
  }
  for (const char* escape : {"\\(", "\\)", "\\\\", "\\r", "\\n"}) {
    EXPECT_NE(contents[0].find(escape), std::string::npos) << escape;
  }
  std::vector<std::string> strings[2];
  std::string rest[2];
  for (int hex = 0; hex < 2; ++hex) Split(contents[hex], strings[hex], rest[hex]);
  EXPECT_EQ(rest[0], rest[1]);
  ASSERT_EQ(strings[0].size(), strings[1].size());
  ASSERT_GE(strings[0].size(), 3 * runs.size());
  for (size_t i = 0; i < strings[0].size(); ++i) {
    ASSERT_EQ(strings[0][i], strings[1][i]) << "string " << i;
  }
  EXPECT_LT(contents[0].size(), contents[1].size());

  if (lgoty::testing::CommandOutput("command -v pdftotext").empty()) return;
  auto text = [&](const char* name) {
    return lgoty::testing::CommandOutput("pdftotext -layout '" +
                                         dir.filePath(name).toStdString() + "' -");
  };
  const std::string from_literal = text("literal.pdf");
  EXPECT_NE(from_literal.find("АБВГДЕЖЗ"), std::string::npos);
  EXPECT_EQ(from_literal, text("hex.pdf"));
}

// Runs of random characters below and above the range whose literal bytes the canvas
// keeps per font (and surrogates, which draw as U+FFFD), in several fonts, met for the first
// time and again, with spacing and turned now and then: the file is the general path's
// byte for byte.
TEST(PdfLiteralStrings, KeptGlyphBytesWriteWhatTheGeneralPathWrites) {
  QTemporaryDir dir;
  CanvasFont fonts[3];
  fonts[1].name = "Times New Roman";
  fonts[1].style = report::font_style::fsBold | report::font_style::fsUnderline;
  fonts[2].name = "Courier New";
  fonts[2].size = 14;
  auto write = [&](const QString& path, bool general) {
    std::mt19937 random(2612);
    PdfCanvas canvas(path);
    canvas.UseGeneralPathOnly(general);
    canvas.BeginPage(800, 1100);
    for (int i = 0; i < 3000; ++i) {
      std::u32string run;
      const int length = 1 + static_cast<int>(random() % 20);
      for (int k = 0; k < length; ++k) {
        const uint32_t pick = random();
        run += pick % 11 == 0   ? static_cast<char32_t>(0x500 + pick % 0x2000)
               : pick % 97 == 1 ? static_cast<char32_t>(0xD800 + pick % 0x800)
                                : static_cast<char32_t>(0x20 + pick % (0x500 - 0x20));
      }
      const uint32_t pick = random();
      const double spacing = pick % 5 == 1 ? 0.5 : 0;
      const double rotation = pick % 7 == 3 ? 90 : 0;
      canvas.DrawChars(static_cast<double>(pick % 600), static_cast<double>(pick % 1000) + 20,
                       run, fonts[(pick >> 8) % 3], spacing, rotation);
      if (pick % 500 == 0) canvas.BeginPage(800, 1100);
    }
    canvas.EndPage();
    ASSERT_TRUE(canvas.Finish());
  };
  write(dir.filePath("kept.pdf"), false);
  write(dir.filePath("general.pdf"), true);
  const std::string kept = ReadAll(dir.filePath("kept.pdf"));
  ASSERT_FALSE(kept.empty());
  EXPECT_TRUE(kept == ReadAll(dir.filePath("general.pdf")));
}

}  // namespace
}  // namespace lgoty::render
