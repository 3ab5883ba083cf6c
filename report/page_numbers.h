// The page range text of the print options and the print dialog: comma-separated page
// numbers and ranges such as "1,3,5-12"; a trailing "-" runs to the last page.
#pragma once

#include <string_view>
#include <vector>

namespace lgoty::report {

// The 1-based page numbers the text names, in the order written, duplicates kept; an empty
// list for an empty text (which means every page). Spaces are ignored. A range whose end is
// below its start names nothing. An item that is not a number raises core::EConvertError.
std::vector<int> ParsePageNumbers(std::string_view text, int total_pages);

}  // namespace lgoty::report
