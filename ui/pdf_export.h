// The PDF export filter of the preview: every page of a document into one PDF file, each
// PDF page of its page's size, drawn through the same page drawing as the screen.
#pragma once

#include <QString>
#include <string>

#include "ui/preview_document.h"

namespace lgoty::ui {

// Writes the pages [first, last] (1-based; 0 = to the end) to `path`. Throws
// core::Exception when the file cannot be written.
void ExportToPdf(PreviewDocument& document, const QString& path, const std::string& title,
                 int first = 1, int last = 0);

}  // namespace lgoty::ui
