#include "core/json.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "core/exception.h"
#include "core/utf8_text.h"

namespace lgoty::core {

// ---- values -------------------------------------------------------------------------------

JsonValue JsonValue::Boolean(bool value) {
  JsonValue v;
  v.kind_ = Kind::Boolean;
  v.boolean_ = value;
  return v;
}

JsonValue JsonValue::NumberText(std::string text) {
  JsonValue v;
  v.kind_ = Kind::Number;
  v.text_ = std::move(text);
  return v;
}

JsonValue JsonValue::NumberFromInt(int64_t value) { return NumberText(std::to_string(value)); }

JsonValue JsonValue::NumberFromDouble(double value) {
  if (!std::isfinite(value)) return JsonValue();
  char buf[40];
  const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
  (void)ec;
  std::string text(buf, ptr);
  // to_chars may write "1e+20"; that is valid JSON. "-0" is valid as well.
  return NumberText(std::move(text));
}

JsonValue JsonValue::String(std::string utf8) {
  JsonValue v;
  v.kind_ = Kind::String;
  v.text_ = std::move(utf8);
  return v;
}

JsonValue JsonValue::Array() {
  JsonValue v;
  v.kind_ = Kind::Array;
  return v;
}

JsonValue JsonValue::Object() {
  JsonValue v;
  v.kind_ = Kind::Object;
  return v;
}

double JsonValue::AsDouble() const {
  double value = 0;
  std::from_chars(text_.data(), text_.data() + text_.size(), value);
  return value;
}

bool JsonValue::TryAsInt64(int64_t& out) const {
  if (kind_ != Kind::Number) return false;
  const auto [ptr, ec] = std::from_chars(text_.data(), text_.data() + text_.size(), out);
  if (ec == std::errc() && ptr == text_.data() + text_.size()) return true;
  // 1.0 or 1e3 are whole numbers too.
  const double d = AsDouble();
  if (std::trunc(d) != d || std::fabs(d) > 9.0e15) return false;
  out = static_cast<int64_t>(d);
  return true;
}

JsonValue& JsonValue::Add(JsonValue value) {
  items_.push_back(std::move(value));
  return items_.back();
}

JsonValue& JsonValue::Add(std::string key, JsonValue value) {
  members_.emplace_back(std::move(key), std::move(value));
  return members_.back().second;
}

const JsonValue* JsonValue::Find(std::string_view key) const {
  for (const auto& [name, value] : members_) {
    if (name == key) return &value;
  }
  return nullptr;
}

// ---- writer -------------------------------------------------------------------------------

namespace {


}  // namespace

void AppendJsonString(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(s, i);
      if (length == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else {
        out.append(s.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 15]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out.push_back('"');
}

void JsonValue::SerializeTo(std::string& out) const {
  switch (kind_) {
    case Kind::Null: out += "null"; break;
    case Kind::Boolean: out += boolean_ ? "true" : "false"; break;
    case Kind::Number: out += text_; break;
    case Kind::String: AppendJsonString(out, text_); break;
    case Kind::Array: {
      out.push_back('[');
      for (size_t i = 0; i < items_.size(); ++i) {
        if (i) out.push_back(',');
        items_[i].SerializeTo(out);
      }
      out.push_back(']');
      break;
    }
    case Kind::Object: {
      out.push_back('{');
      for (size_t i = 0; i < members_.size(); ++i) {
        if (i) out.push_back(',');
        AppendJsonString(out, members_[i].first);
        out.push_back(':');
        members_[i].second.SerializeTo(out);
      }
      out.push_back('}');
      break;
    }
  }
}

std::string JsonValue::Serialize() const {
  std::string out;
  SerializeTo(out);
  return out;
}

// ---- reader -------------------------------------------------------------------------------

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : s_(text) {}

  JsonValue ParseDocument() {
    SkipSpace();
    JsonValue value = ParseValue(0);
    SkipSpace();
    if (pos_ != s_.size()) Fail("unexpected text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const char* what) const {
    throw Exception(std::string("JSON: ") + what + " at offset " + std::to_string(pos_));
  }

  void SkipSpace() {
    while (pos_ < s_.size() &&
           (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\n' || s_[pos_] == '\r'))
      ++pos_;
  }

  bool Consume(std::string_view word) {
    if (s_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  JsonValue ParseValue(int depth) {
    if (depth > kMaxJsonDepth) Fail("nesting too deep");
    if (pos_ >= s_.size()) Fail("unexpected end of text");
    const char c = s_[pos_];
    if (c == '{') return ParseObject(depth);
    if (c == '[') return ParseArray(depth);
    if (c == '"') return JsonValue::String(ParseString());
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber();
    if (Consume("true")) return JsonValue::Boolean(true);
    if (Consume("false")) return JsonValue::Boolean(false);
    if (Consume("null")) return JsonValue();
    Fail("unexpected character");
  }

  JsonValue ParseObject(int depth) {
    JsonValue object = JsonValue::Object();
    ++pos_;  // {
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == '}') {
      ++pos_;
      return object;
    }
    for (;;) {
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != '"') Fail("expected a member name");
      std::string key = ParseString();
      SkipSpace();
      if (pos_ >= s_.size() || s_[pos_] != ':') Fail("expected ':'");
      ++pos_;
      SkipSpace();
      JsonValue value = ParseValue(depth + 1);
      object.Add(std::move(key), std::move(value));
      SkipSpace();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == '}') {
        ++pos_;
        return object;
      }
      Fail("expected ',' or '}'");
    }
  }

  JsonValue ParseArray(int depth) {
    JsonValue array = JsonValue::Array();
    ++pos_;  // [
    SkipSpace();
    if (pos_ < s_.size() && s_[pos_] == ']') {
      ++pos_;
      return array;
    }
    for (;;) {
      SkipSpace();
      array.Add(ParseValue(depth + 1));
      SkipSpace();
      if (pos_ < s_.size() && s_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (pos_ < s_.size() && s_[pos_] == ']') {
        ++pos_;
        return array;
      }
      Fail("expected ',' or ']'");
    }
  }

  JsonValue ParseNumber() {
    const size_t start = pos_;
    auto digits = [&] {
      const size_t from = pos_;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
      return pos_ - from;
    };
    if (s_[pos_] == '-') ++pos_;
    if (pos_ < s_.size() && s_[pos_] == '0') {
      ++pos_;
    } else if (digits() == 0) {
      Fail("malformed number");
    }
    if (pos_ < s_.size() && s_[pos_] == '.') {
      ++pos_;
      if (digits() == 0) Fail("malformed number");
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '+' || s_[pos_] == '-')) ++pos_;
      if (digits() == 0) Fail("malformed number");
    }
    return JsonValue::NumberText(std::string(s_.substr(start, pos_ - start)));
  }

  uint32_t ParseHex4() {
    if (pos_ + 4 > s_.size()) Fail("truncated \\u escape");
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = s_[pos_++];
      value <<= 4;
      if (c >= '0' && c <= '9') value |= static_cast<uint32_t>(c - '0');
      else if (c >= 'a' && c <= 'f') value |= static_cast<uint32_t>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') value |= static_cast<uint32_t>(c - 'A' + 10);
      else Fail("bad \\u escape");
    }
    return value;
  }

  std::string ParseString() {
    ++pos_;  // "
    std::string out;
    for (;;) {
      if (pos_ >= s_.size()) Fail("unterminated string");
      const auto c = static_cast<uint8_t>(s_[pos_]);
      if (c == '"') {
        ++pos_;
        return out;
      }
      if (c < 0x20) Fail("control character in string");
      if (c >= 0x80) {
        const size_t length = Utf8SequenceLength(s_, pos_);
        if (length == 0) Fail("invalid UTF-8 in string");
        out.append(s_.substr(pos_, length));
        pos_ += length;
        continue;
      }
      ++pos_;
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        continue;
      }
      if (pos_ >= s_.size()) Fail("unterminated string");
      const char e = s_[pos_++];
      switch (e) {
        case '"': out.push_back('"'); break;
        case '\\': out.push_back('\\'); break;
        case '/': out.push_back('/'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u': {
          uint32_t cp = ParseHex4();
          if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (!Consume("\\u")) Fail("unpaired surrogate");
            const uint32_t low = ParseHex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("unpaired surrogate");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            Fail("unpaired surrogate");
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          Fail("bad escape");
      }
    }
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace

JsonValue ParseJson(std::string_view text) { return Parser(text).ParseDocument(); }

}  // namespace lgoty::core
