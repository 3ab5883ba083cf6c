#include "report/page_numbers.h"

#include <string>

#include "core/text_format.h"

namespace lgoty::report {

std::vector<int> ParsePageNumbers(std::string_view text, int total_pages) {
  std::string compact;
  for (char c : text)
    if (c != ' ') compact += c;
  std::vector<int> pages;
  if (compact.empty()) return pages;
  if (compact.back() == '-') compact += std::to_string(total_pages);

  size_t start = 0;
  while (start <= compact.size()) {
    size_t comma = compact.find(',', start);
    if (comma == std::string::npos) comma = compact.size();
    std::string_view item(compact.data() + start, comma - start);
    size_t dash = item.find('-', 1);  // a leading "-" belongs to a (negative) number
    if (dash == std::string_view::npos) {
      pages.push_back(core::StrToInt(item));
    } else {
      int first = core::StrToInt(item.substr(0, dash));
      int last = core::StrToInt(item.substr(dash + 1));
      // Bounded by what any report can hold, so "1-2000000000" cannot exhaust memory.
      constexpr int kMaxListed = 1 << 22;
      for (int n = first; n <= last && pages.size() < kMaxListed; ++n) pages.push_back(n);
    }
    start = comma + 1;
  }
  return pages;
}

}  // namespace lgoty::report
