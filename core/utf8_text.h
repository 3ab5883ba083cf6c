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
// Byte offset at which character `chars` (counted from 0 as Utf8Length counts) starts; the
// text's size when it has no more characters than that.
size_t Utf8Offset(std::string_view text, size_t chars);
// The first `chars` characters of a text: everything before character `chars` starts.
std::string_view Utf8Prefix(std::string_view text, size_t chars);
// Index just past the character that starts at text[i]: i + 1 and the continuation bytes
// that follow. REQUIRES: i < size.
size_t Utf8NextChar(std::string_view text, size_t i);
// Code points of UTF-8 text; a byte that starts no well-formed sequence gives U+FFFD.
std::u32string Utf8ToUtf32(std::string_view text);
// UTF-8 of code points; a surrogate or a value above U+10FFFF gives U+FFFD.
std::string Utf32ToUtf8(std::u32string_view text);
// Latin-1, the reading of bytes whose code page is not known: byte 0x80-0xFF is U+0080-U+00FF.
std::string Latin1ToUtf8(std::string_view bytes);
// Back to bytes: U+0000-U+00FF are their byte, any other character becomes '?'.
std::string Utf8ToLatin1(std::string_view utf8);

}  // namespace lgoty::core
