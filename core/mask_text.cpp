// FormatMaskText: lays raw field text out through an edit mask. Layout rules are in
// text_format.h.
#include <algorithm>
#include <string>
#include <vector>

#include "core/icu_library.h"
#include "core/text_format.h"
#include "core/utf8_text.h"

namespace lgoty::core {
namespace {

enum class CaseMode { Keep, Upper, Lower };

struct MaskItem {
  bool input = false;
  std::string literal;  // UTF-8 text of a literal item
  CaseMode case_mode = CaseMode::Keep;
};

// Length of the UTF-8 sequence at s[i] (1 for a byte that starts no well-formed sequence).
size_t SequenceLength(std::string_view s, size_t i) {
  return std::max<size_t>(1, Utf8SequenceLength(s, i));
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

// ch is one item of SplitCodePoints: a well-formed sequence or a stray byte (kept as it is).
std::string ApplyCase(const std::string& ch, CaseMode mode) {
  if (mode == CaseMode::Keep || ch.empty()) return ch;
  char32_t c = 0;
  if (DecodeUtf8(ch, &c) == 0) return ch;
  const icu_library::Functions& icu = icu_library::Icu();
  const UChar32 cp = static_cast<UChar32>(c);
  std::string out;
  AppendUtf8(out, static_cast<char32_t>(mode == CaseMode::Upper ? icu.toupper(cp) : icu.tolower(cp)));
  return out;
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
