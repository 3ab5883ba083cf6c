// Export of prepared pages: a report built in code, run by the engine, written as PDF and
// PNG through the shared page drawing.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/render/command_output.h"
#include "render/image_canvas.h"
#include "render/pdf_canvas.h"
#include "render/prepared_pages_export.h"
#include "report/prepared_page_drawing.h"
#include "report/prepared_pages.h"
#include "tests/render/small_report.h"

namespace lgoty::render {
namespace {

std::string Output(const std::string& command) { return lgoty::testing::CommandOutput(command); }

int Occurrences(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(PreparedPagesExport, PdfHasEveryPageWithItsSizeAndTheMarkersReplaced) {
  if (Output("command -v pdftotext pdfinfo").empty()) GTEST_SKIP() << "poppler-utils missing";
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  ASSERT_EQ(small.Report().PreviewPages().Count(), 4);
  QTemporaryDir dir;
  const std::string path = dir.path().toStdString() + "/report.pdf";
  ASSERT_TRUE(ExportPdf(small.Report(), path));

  const std::string info = Output("pdfinfo -f 1 -l 4 '" + path + "'");
  const size_t pages_at = info.find("Pages:");
  ASSERT_NE(pages_at, std::string::npos) << info;
  EXPECT_EQ(std::atoi(info.c_str() + pages_at + 6), 4) << info;
  // A4 portrait is 595 x 842 points, the last page lies the other way.
  EXPECT_NE(info.find("Page    1 size:  595"), std::string::npos) << info;
  EXPECT_NE(info.find("Page    4 size:  842"), std::string::npos) << info;

  const std::string text = Output("pdftotext -layout '" + path + "' -");
  EXPECT_EQ(Occurrences(text, "Строка льготника"), 5) << text;
  EXPECT_NE(text.find("Страница 1 из 4"), std::string::npos) << text;
  EXPECT_NE(text.find("Страница 3 из 4"), std::string::npos) << text;
  EXPECT_EQ(text.find("TotalPages"), std::string::npos) << text;
  EXPECT_NE(text.find("Альбомная страница"), std::string::npos) << text;
}

std::string FileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

// The export rebuilds the next page on a thread while it draws; the file must be the one
// drawn page by page from the store's own pages, byte for byte.
TEST(PreparedPagesExport, PdfOfTheWholeReportIsThePagesDrawnOneByOne) {
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  QTemporaryDir dir;
  const QString whole = dir.filePath("whole.pdf"), one_by_one = dir.filePath("pages.pdf");
  ASSERT_TRUE(ExportPdf(small.Report(), whole.toStdString()));
  {
    PdfCanvas canvas(one_by_one);
    report::TfrxPreviewPages& pages = small.Report().PreviewPages();
    for (int i = 0; i < pages.Count(); ++i) {
      const report::TfrxPageSize size = pages.PageSize(i);
      report::TfrxReportPage* page = pages.Page(i);
      ASSERT_EQ(size.width, static_cast<int>(std::lround(page->Width())));
      canvas.BeginPage(page->Width(), page->Height());
      report::DrawPreparedPage(small.Report(), i, canvas);
      canvas.EndPage();
    }
    ASSERT_TRUE(canvas.Finish());
  }
  const std::string a = FileBytes(whole), b = FileBytes(one_by_one);
  ASSERT_FALSE(a.empty());
  EXPECT_TRUE(a == b) << a.size() << " against " << b.size() << " bytes";
}

TEST(PreparedPagesExport, UnwritablePlacesFailAndLeaveNothing) {
  testing::SmallReport small;
  ASSERT_TRUE(small.Report().Prepare(true));
  QTemporaryDir dir;
  const std::string missing = dir.path().toStdString() + "/no/such/folder/report.pdf";
  EXPECT_FALSE(ExportPdf(small.Report(), missing));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(missing)));
  // A file stands where the folder of images should be made.
  const std::string blocker = dir.path().toStdString() + "/file";
  QFile file(QString::fromStdString(blocker));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  EXPECT_FALSE(ExportPng(small.Report(), blocker + "/pages", 96));
}

TEST(PreparedPagesExport, PngPagesAndMarkersAreReplacedAgainOnEveryDrawing) {
  testing::SmallReport small;
  report::TfrxReport& report = small.Report();
  ASSERT_TRUE(report.Prepare(true));
  QTemporaryDir dir;
  ASSERT_TRUE(ExportPng(report, dir.path().toStdString(), 48));
  for (int i = 0; i < 4; ++i) {
    QImage image(dir.path() + "/" + QString::fromStdString(PngPageName(i)));
    ASSERT_FALSE(image.isNull()) << i;
    // 48 dpi: half a pixel per report unit.
    const bool landscape = i == 3;
    EXPECT_NEAR(image.width(), (landscape ? 297 : 210) / 25.4 * 48, 1.5) << i;
  }
  EXPECT_FALSE(QFile::exists(dir.path() + "/" + QString::fromStdString(PngPageName(4))));
  // The page tree keeps its marker: drawing it twice (a cached page) gives the same result.
  ImageCanvas first, second;
  for (ImageCanvas* canvas : {&first, &second}) {
    canvas->BeginPage(800, 1123);
    report::DrawPreparedPage(report, 0, *canvas);
    canvas->EndPage();
  }
  EXPECT_EQ(first.Pages()[0], second.Pages()[0]);
  bool marker_kept = false;
  for (report::TfrxComponent* c : report.PreviewPages().Page(0)->AllObjects()) {
    auto* memo = dynamic_cast<report::TfrxCustomMemoView*>(c);
    if (memo && memo->Text().find("[TotalPages#]") != std::string::npos) marker_kept = true;
  }
  EXPECT_TRUE(marker_kept);
}

}  // namespace
}  // namespace lgoty::render
