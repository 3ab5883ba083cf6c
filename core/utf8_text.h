// UTF-8 helpers for the program's strings (all text inside the program is UTF-8).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lgoty::core {

// Decodes the well-formed UTF-8 sequence at the start of text (not empty): its length, with
// the code point in *code_point; 0 for an ill-formed start (a stray continuation byte, a
// truncated sequence, an overlong form, a surrogate or a value above U+10FFFF).
size_t DecodeUtf8(std::string_view text, char32_t* code_point);
// The length of the well-formed sequence at text[i], 0 when there is none. REQUIRES: i < size.
size_t Utf8SequenceLength(std::string_view text, size_t i);
// Appends the UTF-8 form of code; a surrogate or a value above U+10FFFF appends '?'.
void AppendUtf8(std::string& out, char32_t code);
// Characters of a text: the bytes that do not continue a sequence.
size_t Utf8Length(std::string_view text);
// The first `chars` characters of a text (a lead byte and its continuation bytes each).
std::string_view Utf8Prefix(std::string_view text, size_t chars);

}  // namespace lgoty::core
