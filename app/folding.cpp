#include "app/folding.h"

namespace lgoty::app {
namespace {

// А-Я are D0 90 - D0 AF; а-п are D0 B0 - D0 BF; р-я are D1 80 - D1 8F.
std::string Fold(std::string_view text, bool to_upper) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (c < 0x80) {
      if (to_upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 0x20);
      if (!to_upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 0x20);
      continue;
    }
    if (i + 1 >= out.size()) break;
    const unsigned char lead = c;
    const unsigned char next = static_cast<unsigned char>(out[i + 1]);
    if (!to_upper && lead == 0xD0 && next >= 0x90 && next <= 0x9F) {
      out[i + 1] = static_cast<char>(next + 0x20);  // А-П -> а-п
    } else if (!to_upper && lead == 0xD0 && next >= 0xA0 && next <= 0xAF) {
      out[i] = static_cast<char>(0xD1);  // Р-Я -> р-я
      out[i + 1] = static_cast<char>(next - 0x20);
    } else if (to_upper && lead == 0xD0 && next >= 0xB0 && next <= 0xBF) {
      out[i + 1] = static_cast<char>(next - 0x20);  // а-п -> А-П
    } else if (to_upper && lead == 0xD1 && next >= 0x80 && next <= 0x8F) {
      out[i] = static_cast<char>(0xD0);  // р-я -> Р-Я
      out[i + 1] = static_cast<char>(next + 0x20);
    }
    // Skip the continuation bytes of this character.
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    i += length - 1;
  }
  return out;
}

}  // namespace

std::string LowerFold(std::string_view text) { return Fold(text, false); }
std::string UpperFold(std::string_view text) { return Fold(text, true); }

}  // namespace lgoty::app
