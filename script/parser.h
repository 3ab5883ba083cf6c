// TfsParser: the tokenizer every grammar drives. It reads one token of a kind at a time on
// request (the grammar decides what it expects next), so the same tokenizer serves every
// language; the grammar document's "parser" element configures it.
//
// Positions are 1-based byte offsets into the text; the text carries one NUL byte after
// its end as a sentinel, so a read one past the last character is always defined.
// Line starts (offset of the first byte of each line, 0-based) are kept for turning a
// position into "line:column"; the column counts UTF-8 characters, not bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ascii_text.h"
#include "core/utf8_text.h"

namespace lgoty::script {

struct ParserSettings {
  std::string line_comment1 = "//";
  std::string line_comment2;
  std::string block_comment1_open = "{", block_comment1_close = "}";
  std::string block_comment2_open = "(*", block_comment2_close = "*)";
  char string_quote = '\'';
  std::string hex_prefix = "$";
  bool escapes = false;          // backslash escapes inside strings
  bool skip_eol = true;          // false: CR/LF are tokens (line-oriented languages)
  char line_continuation = 0;    // e.g. '_': skips the rest of the line
  bool case_sensitive = false;
  bool extended_chars = false;   // bytes 0x80..0xFF are identifier characters
  std::string ident_chars =
      "_0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
};

class TfsParser {
 public:
  TfsParser() { Configure(ParserSettings()); }
  void Configure(const ParserSettings& settings);
  const ParserSettings& Settings() const { return settings_; }
  // Keywords compare by the case rule of the settings.
  void SetKeywords(std::vector<std::string> keywords);
  bool IsKeyword(std::string_view word) const;

  void SetText(std::string_view text);
  const std::string& Text() const { return text_; }   // without the sentinel
  int Position() const { return position_; }
  void SetPosition(int position) { position_ = position; }
  int LastPosition() const { return last_position_; }

  void SkipSpaces();
  // Each reader skips blanks first (GetChar only when skip is true), sets LastPosition to
  // the token start, and returns "" leaving the position where it was when no token of
  // its kind starts there.
  std::string GetIdent();
  std::string GetNumber();
  // The concatenated string wrapped in single quotes ("'It's'" for 'It''s').
  std::string GetString();
  std::string GetChar(bool skip = true);
  // End of line for line-oriented languages ("" when none).
  std::string GetEOL();
  // The text of a bracketed report expression after its opening "<" or "[", up to (not
  // including) the bracket that closes it; quotes hide brackets.
  std::string GetFRString();

  bool SameText(std::string_view a, std::string_view b) const;
  // "line:column" of a 1-based position.
  std::string PosToString(int position) const;
  void PosToLineCol(int position, int& line, int& column) const;

 private:
  char At(int position) const { return text_[static_cast<size_t>(position - 1)]; }
  bool IsIdentChar(unsigned char c) const { return ident_set_[c]; }
  bool StartsWith(int position, std::string_view s) const;
  bool ReadQuotedPart(std::string& out);
  bool ReadCharCode(std::string& out);

  ParserSettings settings_;
  std::array<bool, 256> ident_set_{};
  std::vector<std::string> keywords_;  // sorted; upper-cased when case-insensitive
  std::string text_;                   // with the NUL sentinel
  std::vector<int> line_starts_;
  int position_ = 1;
  int last_position_ = 1;
};

}  // namespace lgoty::script
