#include "script/parser.h"

#include <algorithm>

namespace lgoty::script {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  return (c | 0x20) - 'a' + 10;
}
// Punctuation characters that a "char" element may read.
bool IsPunctuation(unsigned char c) {
  return (c >= 0x21 && c <= 0x2F) || (c >= 0x3A && c <= 0x40) || (c >= 0x5B && c <= 0x60) ||
         (c >= 0x7B && c <= 0x7E);
}

}  // namespace

void TfsParser::Configure(const ParserSettings& settings) {
  settings_ = settings;
  ident_set_.fill(false);
  for (char c : settings_.ident_chars) ident_set_[static_cast<unsigned char>(c)] = true;
  if (settings_.extended_chars) {
    for (int c = 0x80; c <= 0xFF; ++c) ident_set_[c] = true;
  }
  SetKeywords(std::move(keywords_));
}

void TfsParser::SetKeywords(std::vector<std::string> keywords) {
  keywords_ = std::move(keywords);
  if (!settings_.case_sensitive) {
    for (auto& k : keywords_) k = core::AsciiUpper(k);
  }
  std::sort(keywords_.begin(), keywords_.end());
}

bool TfsParser::IsKeyword(std::string_view word) const {
  if (settings_.case_sensitive) {
    return std::binary_search(keywords_.begin(), keywords_.end(), word);
  }
  return std::binary_search(keywords_.begin(), keywords_.end(), core::AsciiUpper(word));
}

bool TfsParser::SameText(std::string_view a, std::string_view b) const {
  if (settings_.case_sensitive) return a == b;
  return core::AsciiSameText(a, b);
}

void TfsParser::SetText(std::string_view text) {
  text_.assign(text);
  text_ += '\0';
  line_starts_.assign(1, 0);
  for (size_t i = 0; i + 1 < text_.size(); ++i) {
    if (text_[i] == '\n') line_starts_.push_back(static_cast<int>(i + 1));
  }
  position_ = 1;
  last_position_ = 1;
}

bool TfsParser::StartsWith(int position, std::string_view s) const {
  if (s.empty()) return false;
  size_t at = static_cast<size_t>(position - 1);
  return text_.size() - 1 >= at + s.size() && text_.compare(at, s.size(), s) == 0;
}

void TfsParser::SkipSpaces() {
  const int end = static_cast<int>(text_.size());  // position of the sentinel
  for (;;) {
    while (position_ < end) {
      char c = At(position_);
      if (static_cast<unsigned char>(c) > 0x20) break;
      if (!settings_.skip_eol && (c == '\r' || c == '\n')) break;
      ++position_;
    }
    if (position_ >= end) break;
    char c = At(position_);
    if (settings_.line_continuation != 0 && c == settings_.line_continuation) {
      int p = position_ + 1;
      while (p < end && At(p) != '\n') ++p;
      if (p < end) ++p;
      position_ = p;
      continue;
    }
    if (StartsWith(position_, settings_.line_comment1) ||
        StartsWith(position_, settings_.line_comment2)) {
      while (position_ < end && At(position_) != '\n') ++position_;
      continue;
    }
    bool skipped = false;
    const std::pair<const std::string*, const std::string*> blocks[] = {
        {&settings_.block_comment1_open, &settings_.block_comment1_close},
        {&settings_.block_comment2_open, &settings_.block_comment2_close}};
    for (auto [open, close] : blocks) {
      if (!StartsWith(position_, *open)) continue;
      size_t found = text_.find(*close, static_cast<size_t>(position_ - 1) + open->size());
      if (found == std::string::npos || found >= text_.size() - 1) {
        position_ = end;  // an unclosed comment runs to the end of the text
      } else {
        position_ = static_cast<int>(found + close->size()) + 1;
      }
      skipped = true;
      break;
    }
    if (!skipped) break;
  }
  last_position_ = position_;
}

std::string TfsParser::GetIdent() {
  SkipSpaces();
  int start = position_;
  unsigned char c = static_cast<unsigned char>(At(position_));
  if (!IsIdentChar(c) || IsDigit(static_cast<char>(c)) || c == 0) return "";
  while (IsIdentChar(static_cast<unsigned char>(At(position_))) && At(position_) != '\0') {
    ++position_;
  }
  return text_.substr(static_cast<size_t>(start - 1), static_cast<size_t>(position_ - start));
}

std::string TfsParser::GetNumber() {
  SkipSpaces();
  int start = position_;
  const std::string& hex = settings_.hex_prefix;
  if (!hex.empty() && StartsWith(position_, hex) &&
      IsHexDigit(At(position_ + static_cast<int>(hex.size())))) {
    position_ += static_cast<int>(hex.size());
    std::string out = "$";
    while (IsHexDigit(At(position_))) out += At(position_++);
    return out;
  }
  if (!IsDigit(At(position_))) return "";
  while (IsDigit(At(position_))) ++position_;
  if (At(position_) == '.' && IsDigit(At(position_ + 1))) {
    ++position_;
    while (IsDigit(At(position_))) ++position_;
  }
  if (At(position_) == 'e' || At(position_) == 'E') {
    int p = position_ + 1;
    if (At(p) == '+' || At(p) == '-') ++p;
    if (IsDigit(At(p))) {
      while (IsDigit(At(p))) ++p;
      position_ = p;
    }
  }
  return text_.substr(static_cast<size_t>(start - 1), static_cast<size_t>(position_ - start));
}

// A quoted part from the quote at the position; false (position kept) when unterminated.
bool TfsParser::ReadQuotedPart(std::string& out) {
  const char quote = settings_.string_quote;
  int p = position_ + 1;
  std::string part;
  for (;;) {
    char c = At(p);
    if (c == '\0' && p >= static_cast<int>(text_.size())) return false;
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
    if (settings_.escapes && c == '\\') {
      char e = At(p + 1);
      if (e == '\0' && p + 1 >= static_cast<int>(text_.size())) return false;
      if (e == 'n' || e == 'N') {
        part += '\n';
        p += 2;
      } else if (e == 'r' || e == 'R') {
        part += '\r';
        p += 2;
      } else if ((e == 'x' || e == 'X') && IsHexDigit(At(p + 2)) && IsHexDigit(At(p + 3))) {
        core::AppendUtf8(part, static_cast<char32_t>(HexValue(At(p + 2)) * 16 +
                                                    HexValue(At(p + 3))));
        p += 4;
      } else {
        part += e;
        p += 2;
      }
      continue;
    }
    if (c == quote) {
      if (!settings_.escapes && At(p + 1) == quote) {
        part += quote;
        p += 2;
        continue;
      }
      position_ = p + 1;
      out += part;
      return true;
    }
    part += c;
    ++p;
  }
}

// "#" and a decimal or hex character code.
bool TfsParser::ReadCharCode(std::string& out) {
  int p = position_ + 1;
  uint64_t code = 0;
  bool any = false;
  const std::string& hex = settings_.hex_prefix;
  if (!hex.empty() && StartsWith(p, hex)) {
    p += static_cast<int>(hex.size());
    while (IsHexDigit(At(p))) {
      code = std::min<uint64_t>(code * 16 + HexValue(At(p)), 0x7FFFFFFF);
      ++p;
      any = true;
    }
  } else {
    while (IsDigit(At(p))) {
      code = std::min<uint64_t>(code * 10 + (At(p) - '0'), 0x7FFFFFFF);
      ++p;
      any = true;
    }
  }
  if (!any) return false;
  core::AppendUtf8(out, static_cast<uint32_t>(code));
  position_ = p;
  return true;
}

std::string TfsParser::GetString() {
  SkipSpaces();
  int start = position_;
  std::string value;
  bool any = false;
  for (;;) {
    char c = At(position_);
    if (c == settings_.string_quote && c != '\0') {
      if (!ReadQuotedPart(value)) break;
      any = true;
    } else if (c == '#') {
      if (!ReadCharCode(value)) break;
      any = true;
    } else {
      break;
    }
  }
  if (!any) {
    position_ = start;
    return "";
  }
  return "'" + value + "'";
}

std::string TfsParser::GetChar(bool skip) {
  if (skip) {
    SkipSpaces();
  } else {
    last_position_ = position_;
  }
  unsigned char c = static_cast<unsigned char>(At(position_));
  if (!IsPunctuation(c)) return "";
  ++position_;
  return std::string(1, static_cast<char>(c));
}

std::string TfsParser::GetEOL() {
  SkipSpaces();
  const int end = static_cast<int>(text_.size());
  if (position_ >= end) return "\n";  // the end of the text ends the last line
  if (At(position_) == '\r' || At(position_) == '\n') {
    if (At(position_) == '\r' && At(position_ + 1) == '\n') ++position_;
    ++position_;
    return "\n";
  }
  return "";
}

std::string TfsParser::GetFRString() {
  const int end = static_cast<int>(text_.size());
  int p = position_;
  int depth = 1;
  char quote = 0;
  while (p < end) {
    char c = At(p);
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '<' || c == '[') {
      ++depth;
    } else if (c == '>' || c == ']') {
      if (--depth == 0) break;
    }
    ++p;
  }
  if (p >= end || p == position_) return "";
  std::string out = text_.substr(static_cast<size_t>(position_ - 1),
                                 static_cast<size_t>(p - position_));
  last_position_ = position_;
  position_ = p;
  return out;
}

void TfsParser::PosToLineCol(int position, int& line, int& column) const {
  int offset = std::max(0, position - 1);
  auto it = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
  size_t index = static_cast<size_t>(it - line_starts_.begin()) - 1;
  line = static_cast<int>(index) + 1;
  column = 1;
  const auto start = static_cast<size_t>(line_starts_[index]);
  const size_t end = std::min(static_cast<size_t>(std::max(offset, line_starts_[index])), text_.size());
  column += static_cast<int>(core::Utf8Length(std::string_view(text_).substr(start, end - start)));
}

std::string TfsParser::PosToString(int position) const {
  int line = 0, column = 0;
  PosToLineCol(position, line, column);
  return std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace lgoty::script
