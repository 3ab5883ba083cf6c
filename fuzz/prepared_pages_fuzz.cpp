// Arbitrary bytes loaded as a prepared report (.fp3): the XML reader, the source pages,
// the dictionary and picture cache, then every page rebuilt, sized, drawn on a PDF canvas
// and saved again, the same once more with partial loading (page items read back from a
// temporary copy). With partial loading the PDF is drawn as the convert command and the
// export draw it: every page in order, the next one rebuilt on the sequence's own thread.
// Nothing may crash or hang; malformed input ends in the reader's exception.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include <QDir>
#include <QGuiApplication>

#include "core/stream.h"
#include "render/pdf_canvas.h"
#include "render/text_measurer.h"
#include "report/prepared_page_drawing.h"
#include "report/pages.h"
#include "report/prepared_pages.h"
#include "report/report.h"

namespace {

// Pages rebuilt per input: enough to reach every kind of item, few enough to stay fast.
constexpr int kMaxPages = 32;

QString PdfPath() { return QDir::tempPath() + QStringLiteral("/prepared_pages_fuzz.pdf"); }

void Exercise(lgoty::report::TfrxReport& report, lgoty::report::TfrxPreviewPages& pages,
              bool partial) {
  int count = std::min(pages.Count(), kMaxPages);
  if (partial) {
    lgoty::render::PdfCanvas pdf(PdfPath());
    lgoty::report::DrawPreparedPages(report, pdf);
    pdf.Finish();
  } else {
    lgoty::render::PdfCanvas pdf(PdfPath());
    for (int i = 0; i < count; ++i) {
      const auto size = pages.PageSize(i);
      pdf.BeginPage(size.width, size.height);
      lgoty::report::DrawPreparedPage(report, i, pdf);
      pdf.EndPage();
    }
    pdf.Finish();
  }
  for (int i = 0; i < count; ++i) {
    pages.SetCurPage(i);
    lgoty::report::TfrxReportPage* page = pages.Page(i);
    (void)page->AllObjects();
    (void)pages.PageSize(i);
    (void)pages.GetLogicalPageNo();
    (void)pages.GetLogicalTotalPages();
  }
  (void)pages.GetAnchorPage("a");
  lgoty::core::TMemoryStream out;
  pages.SaveToStream(out);
}

}  // namespace

// The PDF canvas needs fonts, which need an application (offscreen: no display).
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  lgoty::render::InstallTextMeasurer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  for (bool partial : {false, true}) {
    lgoty::report::TfrxReport report;
    report.preview_options.pages_in_cache = 4;
    lgoty::report::TfrxPreviewPages& pages = report.PreviewPages();
    lgoty::core::TMemoryStream in(bytes);
    try {
      pages.LoadFromStream(in, partial);
    } catch (const std::exception&) {
      continue;  // a damaged file: the store is left empty
    }
    try {
      Exercise(report, pages, partial);
    } catch (const std::exception&) {
      // A page item that does not read back (partial loading) is reported the same way.
    }
  }
  return 0;
}
