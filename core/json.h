// A small JSON reader and writer for the command-line tools (one object per line in and
// out). Strings are UTF-8. Numbers keep the text they were read from, so that an amount such
// as 1234.56 reaches a decimal field without a detour through binary floating point.
//
// The reader accepts exactly RFC 8259 JSON (no comments, no trailing commas, no NaN) and
// throws core::Exception "JSON: <what> at offset <n>" for anything else, including nesting
// deeper than kMaxJsonDepth. The writer escapes control characters, `"` and `\`, and
// replaces bytes that are not valid UTF-8 by U+FFFD, so its output is always valid JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lgoty::core {

inline constexpr int kMaxJsonDepth = 64;

class JsonValue {
 public:
  enum class Kind : uint8_t { Null, Boolean, Number, String, Array, Object };

  JsonValue() = default;
  static JsonValue Boolean(bool value);
  // The text must be a JSON number; NumberFrom* make one.
  static JsonValue NumberText(std::string text);
  static JsonValue NumberFromInt(int64_t value);
  // Shortest text that reads back as the same double; null for NaN and infinities.
  static JsonValue NumberFromDouble(double value);
  static JsonValue String(std::string utf8);
  static JsonValue Array();
  static JsonValue Object();

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }
  bool AsBoolean() const { return boolean_; }
  // The number's text as read or made.
  const std::string& Text() const { return text_; }
  double AsDouble() const;
  // False when the number is not a whole number in range.
  bool TryAsInt64(int64_t& out) const;
  const std::string& AsString() const { return text_; }

  // Arrays and objects (members in the order read or added).
  std::vector<JsonValue>& Items() { return items_; }
  const std::vector<JsonValue>& Items() const { return items_; }
  std::vector<std::pair<std::string, JsonValue>>& Members() { return members_; }
  const std::vector<std::pair<std::string, JsonValue>>& Members() const { return members_; }
  JsonValue& Add(JsonValue value);
  JsonValue& Add(std::string key, JsonValue value);
  // nullptr when absent (the first member of that name).
  const JsonValue* Find(std::string_view key) const;

  // Compact text (no spaces, no newline).
  std::string Serialize() const;
  void SerializeTo(std::string& out) const;

 private:
  Kind kind_ = Kind::Null;
  bool boolean_ = false;
  std::string text_;  // number text or string
  std::vector<JsonValue> items_;
  std::vector<std::pair<std::string, JsonValue>> members_;
};

// Parses one JSON text (surrounding white space allowed).
JsonValue ParseJson(std::string_view text);
// Appends text as a JSON string literal, quotes included.
void AppendJsonString(std::string& out, std::string_view utf8);

}  // namespace lgoty::core
