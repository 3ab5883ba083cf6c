// The register's case folding. Registers and captions were once Windows-1251 texts folded
// byte by byte: lower-case folding raised 0x41-0x5A and 0xC0-0xDF by 0x20, upper-case folding
// lowered 0x61-0x7A and 0xE0-0xFF; the letter Yo (0xA8/0xB8) was left alone. On our UTF-8
// texts that is: A-Z <-> a-z and А-Я (U+0410-U+042F) <-> а-я (U+0430-U+044F); Ё and ё, and
// every other character, pass unchanged.
#pragma once

#include <string>
#include <string_view>

namespace lgoty::app {

std::string LowerFold(std::string_view text);
std::string UpperFold(std::string_view text);

}  // namespace lgoty::app
