// Text of a single-byte code page to UTF-8 through a table made once, for a scan that
// converts every text field of every record: the code page's own conversion of each of the
// 256 bytes, kept, then appended byte by byte into a buffer the caller reuses - no string
// made per value. A single-byte code page converts each byte on its own (core/code_page.h),
// so the result is the code page's ToUtf8 of the whole text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/code_page.h"

namespace lgoty::sql {

class TSingleByteText {
 public:
  // code_page must be single-byte (IsSingleByte()).
  explicit TSingleByteText(const core::CodePage& code_page);

  // The UTF-8 of bytes, written into buffer (grown when too small, never shrunk); valid until
  // buffer changes.
  std::string_view Convert(std::string_view bytes, std::vector<char>& buffer) const;

 private:
  std::array<std::array<char, 4>, 256> utf8_{};  // each byte's UTF-8, zero-padded
  std::array<uint8_t, 256> length_{};
};

}  // namespace lgoty::sql
