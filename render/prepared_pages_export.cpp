#include "render/prepared_pages_export.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include <QString>

#include "render/image_canvas.h"
#include "render/pdf_canvas.h"
#include "report/prepared_page_drawing.h"

namespace lgoty::render {

bool ExportPdf(report::TfrxReport& report, const std::string& path) {
  bool ok = false;
  {
    PdfCanvas canvas(QString::fromStdString(path));
    report::DrawPreparedPages(report, canvas);
    ok = canvas.Finish();
  }
  if (!ok) {
    // A writer that failed part way may have left a truncated file.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  return ok;
}

std::string PngPageName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "page-%04d.png", index + 1);
  return name;
}

bool ExportPng(report::TfrxReport& report, const std::string& folder, int dpi) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder)) return false;
  ImageCanvas canvas(dpi);
  report::DrawPreparedPages(report, canvas);
  for (size_t i = 0; i < canvas.Pages().size(); ++i) {
    const std::string file = folder + "/" + PngPageName(static_cast<int>(i));
    if (!canvas.SavePng(i, QString::fromStdString(file))) return false;
  }
  return true;
}

}  // namespace lgoty::render
