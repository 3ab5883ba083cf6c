// The list template's pages written as PDF and PNG: every memo's words come back out of
// the PDF inside the cell where the memo was drawn, right-aligned texts end at their cell's
// right gap, pages are A4; page 1 as a 96 dpi image has its frames and texts where the
// cells are.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "render/prepared_pages_export.h"
#include "report/units.h"
#include "tests/render/command_output.h"
#include "tests/render/list_report_run.h"

namespace lgoty::render {
namespace {

using testing::ListPerson;
using testing::ListReportRun;

constexpr double kPointsPerUnit = 72.0 / 96.0;

struct Box {
  double x_min, y_min, x_max, y_max;
};

struct Cell {
  double left, top, right, bottom;  // points
};

struct PdfPage {
  double width = 0, height = 0;
  std::multimap<std::string, Box> words;  // by text
};

std::string XmlUnescaped(std::string s) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
  for (auto [entity, plain] : kEntities) {
    for (size_t at = s.find(entity); at != std::string::npos; at = s.find(entity, at + 1)) {
      s.replace(at, std::string(entity).size(), plain);
    }
  }
  return s;
}

// Splits at blanks, line breaks and no-break spaces (amounts group their thousands with
// one; a PDF reader may or may not keep it inside the word).
std::vector<std::string> Tokens(const std::string& text) {
  std::vector<std::string> out;
  std::string cur;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool nbsp = c == 0xC2 && i + 1 < text.size() &&
                      static_cast<unsigned char>(text[i + 1]) == 0xA0;
    if (c == ' ' || c == '\r' || c == '\n' || c == '\t' || nbsp) {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
      if (nbsp) ++i;
    } else {
      cur += text[i];
    }
  }
  if (!cur.empty()) out.push_back(cur);
  return out;
}

double Attribute(const std::string& tag, const std::string& name) {
  const size_t at = tag.find(" " + name + "=\"");
  return at == std::string::npos ? NAN : std::atof(tag.c_str() + at + name.size() + 3);
}

// The word boxes pdftotext -bbox finds on every page.
std::vector<PdfPage> WordBoxes(const std::string& pdf) {
  const std::string out = lgoty::testing::CommandOutput("pdftotext -bbox '" + pdf + "' -");
  std::vector<PdfPage> pages;
  for (size_t at = out.find('<'); at != std::string::npos; at = out.find('<', at + 1)) {
    const size_t end = out.find('>', at);
    if (end == std::string::npos) break;
    const std::string tag = out.substr(at, end - at + 1);
    if (tag.rfind("<page ", 0) == 0) {
      pages.push_back({Attribute(tag, "width"), Attribute(tag, "height"), {}});
    } else if (tag.rfind("<word ", 0) == 0 && !pages.empty()) {
      const size_t close = out.find("</word>", end);
      const Box box{Attribute(tag, "xMin"), Attribute(tag, "yMin"), Attribute(tag, "xMax"),
                    Attribute(tag, "yMax")};
      for (const std::string& token : Tokens(XmlUnescaped(out.substr(end + 1, close - end - 1)))) {
        pages.back().words.emplace(token, box);
      }
    }
  }
  return pages;
}

std::vector<ListPerson> People() {
  std::vector<ListPerson> people;
  for (int n = 1; n <= 60; ++n) people.push_back(testing::ShortPerson(n));
  people[0].sumpay = "123456.78";  // a grouped amount: "123 456,78"
  people[3].famil = "Тихомирова-Преображенская";
  people[3].imja = "Констанция-Эвелина";
  people[3].otch = "Ростиславовна";
  people[7].recept = "ЛС 325280";
  people[8].doc_ser = "IV-АБ";
  return people;
}

TEST(ListReportPdf, EveryMemoTextComesBackInsideItsCell) {
  if (lgoty::testing::CommandOutput("command -v pdftotext").empty()) {
    GTEST_SKIP() << "poppler-utils is not installed (scripts/setup)";
  }
  ListReportRun run(People());
  ASSERT_TRUE(run.Run());
  QTemporaryDir dir;
  const std::string pdf = dir.path().toStdString() + "/list.pdf";
  ASSERT_TRUE(ExportPdf(run.Report(), pdf));
  std::vector<PdfPage> pdf_pages = WordBoxes(pdf);
  ASSERT_EQ(static_cast<int>(pdf_pages.size()), run.PageCount());
  ASSERT_EQ(run.PageCount(), 2);

  int memos_checked = 0, right_aligned_checked = 0;
  for (int p = 0; p < run.PageCount(); ++p) {
    PdfPage& words = pdf_pages[static_cast<size_t>(p)];
    EXPECT_NEAR(words.width, 595.28, 0.5) << "page " << p + 1;  // A4
    EXPECT_NEAR(words.height, 841.89, 0.5) << "page " << p + 1;
    report::TfrxReportPage* page = run.Report().PreviewPages().Page(p);
    const double margin_left = page->left_margin * report::fr01cm;
    const double margin_top = page->top_margin * report::fr01cm;
    for (const testing::PlacedBand& band : run.Bands(p)) {
      for (const report::TfrxCustomMemoView* memo : band.memos) {
        const std::vector<std::string> tokens = Tokens(memo->Text());
        if (tokens.empty()) continue;
        const Cell cell = {
            (margin_left + memo->Parent()->Left() + memo->Left()) * kPointsPerUnit,
            (margin_top + band.top + memo->Top()) * kPointsPerUnit,
            (margin_left + memo->Parent()->Left() + memo->Left() + memo->Width()) *
                kPointsPerUnit,
            (margin_top + band.top + memo->Top() + memo->Height()) * kPointsPerUnit};
        double right_end = 0;
        for (const std::string& token : tokens) {
          // The first unused word of that text lying inside the cell: across within 1 point
          // (the reader's boxes run from the glyph origin to its advance), its middle
          // between the cell's top and bottom (the reader's box height is the font's
          // ascent and descent, which may stick out of a tight cell).
          auto [from, to] = words.words.equal_range(token);
          auto found = to;
          for (auto it = from; it != to; ++it) {
            const Box& b = it->second;
            const double middle = (b.y_min + b.y_max) / 2;
            if (b.x_min >= cell.left - 1 && b.x_max <= cell.right + 1 && middle > cell.top &&
                middle < cell.bottom) {
              found = it;
              break;
            }
          }
          ASSERT_NE(found, to) << "page " << p + 1 << ", " << memo->Name() << " of "
                               << band.name << ": \"" << token << "\" not inside its cell";
          right_end = std::max(right_end, found->second.x_max);
          words.words.erase(found);
        }
        ++memos_checked;
        if (memo->halign == report::TfrxHAlign::haRight) {
          EXPECT_NEAR(right_end, cell.right - memo->gap_x * kPointsPerUnit, 1.0)
              << memo->Name() << " \"" << memo->Text() << "\" on page " << p + 1;
          ++right_aligned_checked;
        }
      }
    }
  }
  // 60 rows of seven cells, the header's eight, the title's two, the summary and a footer
  // per page.
  EXPECT_EQ(memos_checked, 60 * 7 + 2 * 8 + 2 + 1 + 2);
  EXPECT_EQ(right_aligned_checked, 60 * 2 + 1 + 2);
}

bool DarkAround(const QImage& image, int x, int y) {
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (qGray(image.pixel(x + dx, y + dy)) < 128) return true;
    }
  }
  return false;
}

int DarkPixels(const QImage& image, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) n += qGray(image.pixel(x, y)) < 128;
  }
  return n;
}

TEST(ListReportPng, PageOneHasItsFramesAndTextsWhereTheCellsAre) {
  std::vector<ListPerson> people;
  for (int n = 1; n <= 3; ++n) people.push_back(testing::ShortPerson(n));
  ListReportRun run(people);
  ASSERT_TRUE(run.Run());
  QTemporaryDir dir;
  ASSERT_TRUE(ExportPng(run.Report(), dir.path().toStdString(), 96));
  QImage image(dir.path() + "/" + QString::fromStdString(PngPageName(0)));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), 794);  // 210 mm at 96 dpi
  EXPECT_EQ(image.height(), 1123);
  // Where the cells are, from the prepared page: the margins are 10 mm (37.8 pixels).
  const double margin = 37.8;
  std::vector<testing::PlacedBand> bands = run.Bands(0);
  const testing::PlacedBand* header = ListReportRun::Find(bands, "PageHeader1");
  ASSERT_NE(header, nullptr);
  std::vector<const testing::PlacedBand*> rows;
  for (const testing::PlacedBand& band : bands) {
    if (band.name == "MasterData1") rows.push_back(&band);
  }
  ASSERT_EQ(rows.size(), 3u);
  const int left = static_cast<int>(margin);
  const int header_top = static_cast<int>(margin + header->top);
  const int row_top = static_cast<int>(margin + rows[0]->top);
  const int rows_end = static_cast<int>(margin + rows[2]->top + rows[2]->height);
  EXPECT_TRUE(DarkAround(image, left, header_top + 15));        // the header's left frame
  EXPECT_TRUE(DarkAround(image, 300, header_top));              // its top frame
  EXPECT_TRUE(DarkAround(image, 300, rows_end));                // the last row's bottom
  EXPECT_TRUE(DarkAround(image, left + 136, row_top + 9));      // name | card boundary
  EXPECT_FALSE(DarkAround(image, 300, rows_end + 6));           // nothing under the rows
  EXPECT_FALSE(DarkAround(image, 20, header_top + 15));         // nothing in the margin
  // Row 1: the name left-aligned in its cell (x 174 to 461), the amount right-aligned in
  // its cell (x 699 to 775).
  const int top = row_top + 3, bottom = row_top + 16;
  EXPECT_GT(DarkPixels(image, left + 138, top, left + 200, bottom), 30);
  EXPECT_EQ(DarkPixels(image, left + 340, top, left + 420, bottom), 0);
  EXPECT_GT(DarkPixels(image, left + 700, top, left + 734, bottom), 15);
  EXPECT_EQ(DarkPixels(image, left + 664, top, left + 690, bottom), 0);
}

}  // namespace
}  // namespace lgoty::render
