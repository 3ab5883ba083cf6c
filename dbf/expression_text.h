// Text services of expression evaluation: case mapping and locale-aware comparison of texts
// held in one legacy code page (the table's for index keys, the ANSI code page for filters).
//
// For a single-byte code page the case mappings and the UTF-8 form of every byte are tables of
// 256 entries made once per code page, so a comparison or a case mapping of a record's text
// allocates nothing once the context's buffers have grown. Multi-byte code pages go through a
// conversion to UTF-8 and back.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "dbf/expression_words.h"

namespace lgoty::dbf {

struct TByteTextTables {
  std::array<char, 256> upper{};
  std::array<char, 256> lower{};
  // The smallest byte whose character the locale's case-insensitive comparison finds equal to
  // this byte's (so "a" and "A" fold alike, "е" and "ё" do not). Characters the collation
  // ignores altogether fold to themselves.
  std::array<char, 256> fold{};
  std::array<std::string, 256> utf8;
};

// The tables of a single-byte code page, nullptr for a multi-byte or unknown one. Made on first
// use with the case rules of the collation language of that moment; kept for the process.
const TByteTextTables* ByteTextTables(int code_page);

class TExpressionContext {
 public:
  // code_page 0 or an unknown code page: bytes are taken as Latin-1 characters.
  explicit TExpressionContext(int code_page);

  int CodePage() const { return code_page_; }

  void UpperCase(std::string_view text, TExprValue& out) const;
  void LowerCase(std::string_view text, TExprValue& out) const;
  // -1, 0 or 1 by the locale's collation, ignoring case or not.
  int Compare(std::string_view a, std::string_view b, bool ignore_case) const;
  // Equality: byte equality when case counts; ignoring case, character by character through
  // the fold table (single-byte code pages) or by the collation (multi-byte ones).
  bool Equal(std::string_view a, std::string_view b, bool ignore_case) const;

 private:
  std::string_view ToUtf8(std::string_view text, std::string& buffer) const;
  void MapCase(std::string_view text, TExprValue& out, bool upper) const;

  int code_page_;
  const TByteTextTables* tables_;
  mutable std::string utf8_a_;
  mutable std::string utf8_b_;
};

}  // namespace lgoty::dbf
