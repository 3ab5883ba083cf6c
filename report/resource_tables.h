// The parts of the resource table that frxGet looks keys up in, one per group of texts.
#pragma once

#include <map>
#include <string_view>

namespace lgoty::report {

// Texts of the preview window, the print dialog and printing.
const std::map<std::string_view, std::string_view>& PreviewAndPrintTexts();

}  // namespace lgoty::report
