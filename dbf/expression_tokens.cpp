#include "dbf/expression_tokens.h"

#include <charconv>
#include <limits>

namespace lgoty::dbf {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Parses a decimal or hexadecimal integer into a token, saturating on overflow.
void SetInteger(TToken& token, std::string_view digits, int base) {
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  (void)end;
  if (error == std::errc::result_out_of_range ||
      value > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) {
    token.integer = std::numeric_limits<long long>::max();
    token.integer_overflow = true;
  } else {
    token.integer = static_cast<long long>(value);
  }
}

}  // namespace

std::vector<TToken> TokenizeExpression(std::string_view text) {
  std::vector<TToken> tokens;
  size_t i = 0;
  const size_t n = text.size();
  auto at = [&](size_t k) { return k < n ? text[k] : '\0'; };
  while (i < n) {
    const char c = text[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    TToken token{TTokenKind::Symbol, {}, 0, 0, false, i};
    if (c == '\'' || c == '"') {
      size_t end = text.find(c, i + 1);
      if (end == std::string_view::npos) end = n;
      token.kind = TTokenKind::String;
      token.text = std::string(text.substr(i + 1, end - i - 1));
      i = end < n ? end + 1 : n;
    } else if (IsDigit(c) || (c == '.' && IsDigit(at(i + 1)))) {
      const size_t start = i;
      bool is_float = false;
      while (IsDigit(at(i))) ++i;
      if (at(i) == '.') {
        is_float = true;
        ++i;
        while (IsDigit(at(i))) ++i;
      }
      if (at(i) == 'e' || at(i) == 'E') {
        size_t k = i + 1;
        if (at(k) == '+' || at(k) == '-') ++k;
        if (IsDigit(at(k))) {
          is_float = true;
          i = k;
          while (IsDigit(at(i))) ++i;
        }
      }
      token.text = std::string(text.substr(start, i - start));
      if (is_float) {
        token.kind = TTokenKind::Float;
        // from_chars reads '.' whatever the C library's locale (strtod would not).
        std::from_chars(token.text.data(), token.text.data() + token.text.size(), token.real);
      } else {
        token.kind = TTokenKind::Integer;
        SetInteger(token, token.text, 10);
      }
    } else if (c == '$' && IsHexDigit(at(i + 1))) {
      const size_t start = i++;
      while (IsHexDigit(at(i))) ++i;
      token.kind = TTokenKind::Integer;
      token.text = std::string(text.substr(start, i - start));
      SetInteger(token, std::string_view(token.text).substr(1), 16);
    } else if (IsNameStart(c)) {
      const size_t start = i;
      while (i < n && IsNameChar(text[i])) ++i;
      token.kind = TTokenKind::Name;
      token.text = std::string(text.substr(start, i - start));
    } else {
      size_t length = 1;
      const char next = at(i + 1);
      if ((c == '&' && next == '&') || (c == '|' && next == '|') || (c == '!' && next == '=') ||
          (c == ':' && next == '=') ||
          ((c == '<' || c == '>' || c == '=') && (next == '<' || next == '=' || next == '>'))) {
        length = 2;
      }
      token.text = std::string(text.substr(i, length));
      i += length;
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

}  // namespace lgoty::dbf
