// Export of a report's prepared pages: a PDF file (text kept as text, each page with its own
// size) or one PNG image per page. The pages are drawn by report::DrawPreparedPages.
#pragma once

#include <string>

namespace lgoty::report {
class TfrxReport;
}

namespace lgoty::render {

// Writes every prepared page into the PDF file `path`. False when the file could not be
// written (nothing usable is left under that name then).
bool ExportPdf(report::TfrxReport& report, const std::string& path);

// Writes page N (1-based) as "page-NNNN.png" into `folder` (made when missing) at `dpi`
// dots per inch. False when the folder could not be made or a file could not be written.
bool ExportPng(report::TfrxReport& report, const std::string& folder, int dpi);

// The file name ExportPng gives page `index` (0-based).
std::string PngPageName(int index);

}  // namespace lgoty::render
