// Escaping of attribute values and character data.
//
// Two paths, and they differ on purpose: a value shorter than kShortValue bytes keeps a lone
// '&' as it is and writes a zero byte as "&#0;"; a longer value goes through a growing
// buffer, writes '&' as "&#38;" and a zero byte as a blank. Both write "&quot;" as "&#34;",
// so that it reads back as one double quote. Unescaping keeps any '&' it does not
// understand, which is what lets the short path leave '&' alone.
#include <cstring>

#include "core/text_format.h"
#include "core/xml_document.h"

namespace lgoty::core {
namespace {

constexpr size_t kShortValue = 32;
constexpr size_t kGrowStep = 256;
constexpr size_t kMinRoom = 5;

bool IsSpecial(unsigned char c) {
  return c == 0 || c == 10 || c == 13 || c == '"' || c == '&' || c == '<' || c == '>';
}

bool StartsQuot(std::string_view text, size_t i) {
  return text.compare(i, 6, "&quot;") == 0;
}

void AppendCode(std::string& out, unsigned char c) {
  out += "&#";
  out += std::to_string(static_cast<int>(c));
  out += ';';
}

std::string EscapeShort(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '&') {
      if (StartsQuot(text, i)) {
        out += "&#34;";
        i += 5;
      } else {
        out += '&';
      }
    } else if (IsSpecial(c)) {
      AppendCode(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string EscapeFast(std::string_view text) {
  std::string out;
  out.resize(text.size() + kGrowStep);
  size_t len = 0;
  auto put = [&](const char* s, size_t n) {
    std::memcpy(out.data() + len, s, n);
    len += n;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (out.size() - len < kMinRoom) out.resize(out.size() + kGrowStep);
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsSpecial(c)) {
      out[len++] = static_cast<char>(c);
      continue;
    }
    switch (c) {
      case 0: put(" ", 1); break;
      case 10: put("&#10;", 5); break;
      case 13: put("&#13;", 5); break;
      case '"': put("&#34;", 5); break;
      case '<': put("&#60;", 5); break;
      case '>': put("&#62;", 5); break;
      case '&':
        if (StartsQuot(text, i)) {
          put("&#34;", 5);
          i += 5;
        } else {
          put("&#38;", 5);
        }
        break;
    }
  }
  out.resize(len);
  return out;
}

}  // namespace

std::string StrToXML(std::string_view text) {
  bool plain = true;
  for (char c : text) {
    if (IsSpecial(static_cast<unsigned char>(c))) {
      plain = false;
      break;
    }
  }
  if (plain) return std::string(text);
  return text.size() < kShortValue ? EscapeShort(text) : EscapeFast(text);
}

std::string XMLToStr(std::string_view text) {
  if (text.find('&') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  // The last byte cannot start an entity; it is copied as it is.
  while (i < text.size()) {
    char c = text[i];
    if (c != '&' || i + 1 >= text.size()) {
      out += c;
      ++i;
      continue;
    }
    if (text[i + 1] == '#') {
      size_t semi = text.find(';', i + 2);
      if (semi == std::string_view::npos) {
        out += c;
        ++i;
        continue;
      }
      std::string_view digits = text.substr(i + 2, semi - i - 2);
      int32_t code = StrToInt(digits);
      out += (code >= 0 && code <= 255) ? static_cast<char>(code) : '?';
      i = semi + 1;
      continue;
    }
    struct Entity {
      const char* name;
      char ch;
    };
    static constexpr Entity kEntities[] = {
        {"&quot;", '"'}, {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}};
    bool matched = false;
    for (const Entity& e : kEntities) {
      size_t n = std::strlen(e.name);
      if (text.compare(i, n, e.name) == 0) {
        out += e.ch;
        i += n;
        matched = true;
        break;
      }
    }
    if (!matched) {
      out += c;
      ++i;
    }
  }
  return out;
}

}  // namespace lgoty::core
