// FormatMaskText: lays raw field text out through an edit mask. Layout rules are in
// text_format.h.
#include <algorithm>
#include <string>
#include <vector>

#include "core/icu_library.h"
#include "core/text_format.h"

namespace lgoty::core {
namespace {

enum class CaseMode { Keep, Upper, Lower };

struct MaskItem {
  bool input = false;
  std::string literal;  // UTF-8 text of a literal item
  CaseMode case_mode = CaseMode::Keep;
};

// Length of the UTF-8 sequence that starts with lead (1 for a stray byte).
size_t SequenceLength(std::string_view s, size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  size_t n = 1;
  if (lead >= 0xF0 && lead < 0xF8) {
    n = 4;
  } else if (lead >= 0xE0) {
    n = lead < 0xF0 ? 3 : 1;
  } else if (lead >= 0xC0) {
    n = 2;
  }
  if (i + n > s.size()) return 1;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  }
  return n;
}

std::vector<std::string> SplitCodePoints(std::string_view s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    const size_t n = SequenceLength(s, i);
    out.emplace_back(s.substr(i, n));
    i += n;
  }
  return out;
}

std::string EncodeUtf8(UChar32 c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

std::string ApplyCase(const std::string& ch, CaseMode mode) {
  if (mode == CaseMode::Keep || ch.empty()) return ch;
  UChar32 c = 0;
  const auto b = [&](size_t k) { return static_cast<UChar32>(static_cast<unsigned char>(ch[k])); };
  switch (ch.size()) {
    case 1: c = b(0); if (c >= 0x80) return ch; break;
    case 2: c = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F); break;
    case 3: c = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F); break;
    default: c = ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F); break;
  }
  const icu_library::Functions& icu = icu_library::Icu();
  return EncodeUtf8(mode == CaseMode::Upper ? icu.toupper(c) : icu.tolower(c));
}

// Splits at ";" that is not escaped by "\".
std::vector<std::string_view> SplitFields(std::string_view mask) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t i = 0; i < mask.size(); ++i) {
    if (mask[i] == '\\') {
      ++i;
    } else if (mask[i] == ';') {
      fields.push_back(mask.substr(start, i - start));
      start = i + 1;
    }
  }
  fields.push_back(mask.substr(start));
  return fields;
}

bool IsInputChar(char c) {
  return c == '0' || c == '9' || c == '#' || c == 'L' || c == 'l' || c == 'A' || c == 'a' ||
         c == 'C' || c == 'c';
}

}  // namespace

std::string FormatMaskText(std::string_view edit_mask, std::string_view value) {
  return FormatMaskText(edit_mask, value, DefaultFormatSettings());
}

std::string FormatMaskText(std::string_view edit_mask, std::string_view value,
                           const FormatSettings& fs) {
  const std::vector<std::string_view> fields = SplitFields(edit_mask);
  const std::string_view mask = fields[0];
  const bool save_literals = !(fields.size() > 1 && !fields[1].empty() && fields[1][0] == '0');
  std::string blank = " ";
  if (fields.size() > 2 && !fields[2].empty()) blank = std::string(fields[2].substr(0, SequenceLength(fields[2], 0)));

  std::vector<MaskItem> items;
  bool reverse = false;
  CaseMode mode = CaseMode::Keep;
  for (size_t i = 0; i < mask.size();) {
    const char c = mask[i];
    if (c == '!') {
      reverse = true;
      ++i;
    } else if (c == '>') {
      const bool keep = i + 1 < mask.size() && mask[i + 1] == '<';
      mode = keep ? CaseMode::Keep : CaseMode::Upper;
      i += keep ? 2 : 1;
    } else if (c == '<') {
      mode = CaseMode::Lower;
      ++i;
    } else if (c == '\\') {
      if (i + 1 < mask.size()) {
        const size_t n = SequenceLength(mask, i + 1);
        items.push_back({false, std::string(mask.substr(i + 1, n)), mode});
        i += 1 + n;
      } else {
        ++i;
      }
    } else if (IsInputChar(c)) {
      items.push_back({true, "", mode});
      ++i;
    } else {
      std::string literal;
      if (c == ':') {
        literal = fs.TimeSeparator;
      } else if (c == '/') {
        literal = fs.DateSeparator;
      } else if (c == '_') {
        literal = " ";
      } else {
        literal = std::string(mask.substr(i, SequenceLength(mask, i)));
      }
      i += SequenceLength(mask, i);
      items.push_back({false, std::move(literal), mode});
    }
  }

  std::vector<std::string> chars = SplitCodePoints(value);
  if (reverse) {
    std::reverse(items.begin(), items.end());
    std::reverse(chars.begin(), chars.end());
  }
  std::vector<std::string> out;
  size_t pos = 0;
  for (const MaskItem& item : items) {
    if (item.input) {
      out.push_back(pos < chars.size() ? ApplyCase(chars[pos++], item.case_mode) : blank);
    } else {
      if (save_literals && pos < chars.size() && chars[pos] == item.literal) ++pos;
      out.push_back(item.literal);
    }
  }
  for (; pos < chars.size(); ++pos) out.push_back(chars[pos]);
  if (reverse) std::reverse(out.begin(), out.end());
  std::string result;
  for (const std::string& piece : out) result += piece;
  return result;
}

}  // namespace lgoty::core
