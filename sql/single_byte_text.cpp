#include "sql/single_byte_text.h"

#include <algorithm>
#include <cstring>

namespace lgoty::sql {

TSingleByteText::TSingleByteText(const core::CodePage& code_page) {
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    const std::string utf8 = code_page.ToUtf8(std::string_view(&c, 1));
    // A byte's UTF-8 is at most three bytes (code points of the basic plane); a longer one
    // is cut, which a test of every installed code page would show.
    length_[static_cast<size_t>(byte)] = static_cast<uint8_t>(std::min<size_t>(utf8.size(), 4));
    std::memcpy(utf8_[static_cast<size_t>(byte)].data(), utf8.data(),
                length_[static_cast<size_t>(byte)]);
  }
}

std::string_view TSingleByteText::Convert(std::string_view bytes,
                                          std::vector<char>& buffer) const {
  // Every entry is copied as four bytes and the end moves on by its length: the buffer keeps
  // four spare bytes past the longest result.
  const size_t needed = bytes.size() * 4 + 4;
  if (buffer.size() < needed) buffer.resize(needed);
  char* const begin = buffer.data();
  char* end = begin;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    std::memcpy(end, utf8_[byte].data(), 4);
    end += length_[byte];
  }
  return {begin, static_cast<size_t>(end - begin)};
}

}  // namespace lgoty::sql
