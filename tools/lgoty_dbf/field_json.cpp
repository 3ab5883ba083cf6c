#include "tools/lgoty_dbf/field_json.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/code_page.h"
#include "core/date_time.h"
#include "core/exception.h"
#include "core/utf8_text.h"
#include "dbf/field_codec.h"
#include "dbf/number_text.h"

namespace lgoty::tools {

using data::TFieldType;
using dbf::TFieldValue;
using dbf::TValueClass;

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

[[noreturn]] void Refuse(const dbf::TDbfFieldDef& def, const core::JsonValue& value,
                         const char* expected) {
  throw core::Exception("Field " + def.FieldName() + ": " + value.Serialize() + " is not " +
                        expected + ".");
}

std::string TwoDigits(int value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", value);
  return buf;
}

std::string IsoDate(double date) {
  int y = 0, m = 0, d = 0;
  core::DecodeDate(date, y, m, d);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
  return buf;
}

std::string IsoDateTime(double value) {
  int h = 0, n = 0, s = 0, ms = 0;
  core::DecodeTime(value, h, n, s, ms);
  std::string text = IsoDate(value) + "T" + TwoDigits(h) + ":" + TwoDigits(n) + ":" + TwoDigits(s);
  if (ms != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, ".%03d", ms);
    text += buf;
  }
  return text;
}

// An amount scaled by 10 000 as exact decimal text ("-12.5", "3").
std::string ScaledText(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled)
                                      : static_cast<uint64_t>(scaled);
  std::string text = std::to_string(magnitude / 10'000);
  std::string fraction = std::to_string(magnitude % 10'000);
  fraction.insert(0, 4 - fraction.size(), '0');
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) text += "." + fraction;
  return negative ? "-" + text : text;
}

bool ReadDigits(std::string_view s, size_t& pos, size_t count, int& out) {
  if (pos + count > s.size()) return false;
  out = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += count;
  return true;
}

// "YYYY-MM-DD" or "YYYYMMDD", then optionally "T" or " " and "HH:MM[:SS[.mmm]]".
bool ParseIsoDateTime(std::string_view s, bool allow_time, double& out) {
  size_t pos = 0;
  int y = 0, m = 0, d = 0;
  if (!ReadDigits(s, pos, 4, y)) return false;
  const bool dashes = pos < s.size() && s[pos] == '-';
  if (dashes) ++pos;
  if (!ReadDigits(s, pos, 2, m)) return false;
  if (dashes && (pos >= s.size() || s[pos++] != '-')) return false;
  if (!ReadDigits(s, pos, 2, d)) return false;
  core::TDateTime date = 0;
  if (!core::TryEncodeDate(y, m, d, date)) return false;
  if (pos == s.size()) {
    out = date;
    return true;
  }
  if (!allow_time || (s[pos] != 'T' && s[pos] != ' ')) return false;
  ++pos;
  int h = 0, n = 0, sec = 0, ms = 0;
  if (!ReadDigits(s, pos, 2, h) || pos >= s.size() || s[pos++] != ':' ||
      !ReadDigits(s, pos, 2, n))
    return false;
  if (pos < s.size() && s[pos] == ':') {
    ++pos;
    if (!ReadDigits(s, pos, 2, sec)) return false;
    if (pos < s.size() && s[pos] == '.') {
      ++pos;
      const size_t start = pos;
      while (pos < s.size() && pos - start < 3 && s[pos] >= '0' && s[pos] <= '9')
        ms = ms * 10 + (s[pos++] - '0');
      if (pos == start) return false;
      for (size_t k = pos - start; k < 3; ++k) ms *= 10;
    }
  }
  if (pos != s.size()) return false;
  core::TDateTime time = 0;
  if (!core::TryEncodeTime(h, n, sec, ms, time)) return false;
  out = date + time;
  return true;
}

std::vector<std::byte> BytesOfHex(std::string_view hex, bool& ok) {
  std::vector<std::byte> bytes;
  ok = hex.size() % 2 == 0;
  auto nibble = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    ok = false;
    return 0;
  };
  for (size_t i = 0; ok && i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::byte>(nibble(hex[i]) * 16 + nibble(hex[i + 1])));
  return bytes;
}

std::vector<std::byte> BytesOf(std::string_view s) {
  const auto* p = reinterpret_cast<const std::byte*>(s.data());
  return {p, p + s.size()};
}

// The text in the table's code page; refused when the code page cannot hold every
// character (it would be stored as '?'), unless truncate accepts the engine's substitute.
std::string TableTextOf(const dbf::TDbfFile& file, const dbf::TDbfFieldDef& def,
                        const std::string& utf8, bool truncate) {
  std::string text = Utf8ToTableText(file.EffectiveCodePage(), utf8);
  if (!truncate && TableTextToUtf8(file.EffectiveCodePage(), text) != utf8)
    throw core::Exception("Field " + def.FieldName() + ": \"" + utf8 +
                          "\" has characters that code page " +
                          std::to_string(file.EffectiveCodePage()) + " cannot hold.");
  return text;
}

[[noreturn]] void RefuseAltered(const dbf::TDbfFieldDef& def, const core::JsonValue& value) {
  throw core::Exception("Field " + def.FieldName() + ": " + value.Serialize() +
                        " does not fit (" + std::string(1, static_cast<char>(def.NativeFieldType())) +
                        " " + std::to_string(def.Size()) + "." + std::to_string(def.Precision()) +
                        "); --truncate stores what fits.");
}

// Whether the field now holds what was asked: text whole (trailing spaces are not kept by
// any field), numbers equal after rounding to the field's decimals.
bool StoredAsAsked(const dbf::TDbfFieldDefs& defs, const dbf::TDbfFieldDef& def,
                   TFieldType type, std::span<const std::byte> record, const TFieldValue& asked) {
  TFieldValue stored;
  if (!dbf::GetFieldData(defs, def, type, record, &stored)) return false;
  switch (dbf::ValueClassOf(type)) {
    case TValueClass::Text: {
      std::string_view want = asked.text;
      while (!want.empty() && want.back() == ' ') want.remove_suffix(1);
      std::string_view got = stored.text;
      while (!got.empty() && got.back() == ' ') got.remove_suffix(1);
      return want == got;
    }
    case TValueClass::Integer:
    case TValueClass::BCD:
      return stored.integer == asked.integer;
    case TValueClass::Float: {
      const int decimals = def.Precision();
      double want = asked.real;
      if (def.NativeFieldType() == 'N' || def.NativeFieldType() == 'F') {
        const double scale = std::pow(10.0, decimals);
        want = std::round(want * scale) / scale;
      }
      return std::fabs(stored.real - want) <= 1e-9 * std::max(1.0, std::fabs(want));
    }
    case TValueClass::Boolean:
    case TValueClass::Date:
      return true;
  }
  return true;
}

// The memo bytes a JSON value stands for.
std::vector<std::byte> MemoBytes(const dbf::TDbfFile& file, const dbf::TDbfFieldDef& def,
                                 const core::JsonValue& value, bool raw, bool truncate) {
  if (value.kind() != core::JsonValue::Kind::String) Refuse(def, value, "text");
  const bool binary = def.NativeFieldType() != 'M';
  if (binary && raw) {
    bool ok = false;
    std::vector<std::byte> bytes = BytesOfHex(value.AsString(), ok);
    if (!ok) Refuse(def, value, "hexadecimal text");
    return bytes;
  }
  return BytesOf(TableTextOf(file, def, value.AsString(), truncate));
}

}  // namespace

std::string TableTextToUtf8(int code_page, std::string_view bytes) {
  if (const core::CodePage* cp = core::FindCodePage(code_page)) return cp->ToUtf8(bytes);
  return core::Latin1ToUtf8(bytes);
}

std::string Utf8ToTableText(int code_page, std::string_view utf8) {
  if (const core::CodePage* cp = core::FindCodePage(code_page)) return cp->FromUtf8(utf8);
  return core::Utf8ToLatin1(utf8);
}

std::string HexOf(std::span<const std::byte> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (std::byte b : bytes) {
    hex.push_back(kHex[static_cast<unsigned>(b) >> 4]);
    hex.push_back(kHex[static_cast<unsigned>(b) & 15]);
  }
  return hex;
}

core::JsonValue FieldToJson(dbf::TDbfFile& file, const dbf::TDbfFieldDef& def,
                            std::span<const std::byte> record, bool raw) {
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  TFieldValue v;
  if (def.IsBlob()) {
    if (!dbf::GetFieldData(defs, def, TFieldType::ftInteger, record, &v) || v.integer <= 0)
      return {};
    dbf::TMemoFile* memo = file.MemoFile();
    if (!memo) return {};
    const dbf::TMemoValue value = memo->ReadValue(static_cast<uint32_t>(v.integer));
    if (def.NativeFieldType() != 'M' && raw) return core::JsonValue::String(HexOf(value.data));
    const std::string_view text(reinterpret_cast<const char*>(value.data.data()),
                                value.data.size());
    return core::JsonValue::String(TableTextToUtf8(file.EffectiveCodePage(), text));
  }
  const TFieldType type = def.FieldType();
  if (!dbf::GetFieldData(defs, def, type, record, nullptr) ||
      !dbf::GetFieldData(defs, def, type, record, &v))
    return {};
  if (type == TFieldType::ftBytes) return core::JsonValue::String(HexOf(BytesOf(v.text)));
  switch (dbf::ValueClassOf(type)) {
    case TValueClass::Text:
      return core::JsonValue::String(TableTextToUtf8(file.EffectiveCodePage(), v.text));
    case TValueClass::Integer: return core::JsonValue::NumberFromInt(v.integer);
    case TValueClass::Boolean: return core::JsonValue::Boolean(v.integer != 0);
    case TValueClass::Float: return core::JsonValue::NumberFromDouble(v.real);
    case TValueClass::BCD: return core::JsonValue::NumberText(ScaledText(v.integer));
    case TValueClass::Date:
      return core::JsonValue::String(type == TFieldType::ftDate ? IsoDate(v.real)
                                                                 : IsoDateTime(v.real));
  }
  return {};
}

void FieldFromJson(dbf::TDbfFile& file, const dbf::TDbfFieldDef& def, std::span<std::byte> record,
                   const core::JsonValue& value, bool raw, bool truncate,
                   std::vector<PendingMemo>& pending) {
  using Kind = core::JsonValue::Kind;
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  const bool is_text = value.kind() == Kind::String;
  const std::string_view text = is_text ? Trim(value.AsString()) : std::string_view();
  const bool null = value.IsNull() || (is_text && text.empty() && !def.IsBlob());
  if (def.IsBlob()) {
    PendingMemo memo;
    memo.def = &def;
    if (!value.IsNull()) memo.data = MemoBytes(file, def, value, raw, truncate);
    pending.push_back(std::move(memo));
    return;
  }
  const TFieldType type = def.FieldType();
  if (null) {
    dbf::SetFieldData(defs, def, type, record, nullptr);
    return;
  }
  TFieldValue v;
  switch (dbf::ValueClassOf(type)) {
    case TValueClass::Text:
      if (type == TFieldType::ftBytes) {
        bool ok = false;
        const std::vector<std::byte> bytes = BytesOfHex(text, ok);
        if (!ok || !is_text) Refuse(def, value, "hexadecimal text");
        v.text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      } else if (is_text) {
        v.text = TableTextOf(file, def, value.AsString(), truncate);
      } else if (value.kind() == Kind::Number) {
        v.text = value.Text();
      } else if (value.kind() == Kind::Boolean) {
        v.text = value.AsBoolean() ? "T" : "F";
      } else {
        Refuse(def, value, "text");
      }
      break;
    case TValueClass::Integer: {
      const bool ok = is_text ? dbf::ParseInteger(text.data(), text.data() + text.size(), v.integer)
                              : value.TryAsInt64(v.integer);
      if (!ok) Refuse(def, value, "a whole number");
      break;
    }
    case TValueClass::Boolean:
      if (value.kind() == Kind::Boolean) {
        v.integer = value.AsBoolean();
      } else if (is_text && text.size() >= 1 && std::strchr("TtYy", text[0]) &&
                 (text.size() == 1 || text == "true" || text == "True" || text == "yes")) {
        v.integer = 1;
      } else if (is_text && text.size() >= 1 && std::strchr("FfNn", text[0]) &&
                 (text.size() == 1 || text == "false" || text == "False" || text == "no")) {
        v.integer = 0;
      } else {
        Refuse(def, value, "a logical value");
      }
      break;
    case TValueClass::Float:
    case TValueClass::BCD: {
      const std::string number_text = is_text ? std::string(text) : value.Text();
      double d = 0;
      if ((!is_text && value.kind() != Kind::Number) ||
          !dbf::ParseDecimal(number_text.data(), number_text.data() + number_text.size(), d))
        Refuse(def, value, "a number");
      if (dbf::ValueClassOf(type) == TValueClass::BCD) {
        v.integer = static_cast<int64_t>(std::llround(d * 10'000.0));
      } else {
        v.real = d;
      }
      break;
    }
    case TValueClass::Date:
      if (!is_text || !ParseIsoDateTime(text, type != TFieldType::ftDate, v.real))
        Refuse(def, value, "a date");
      break;
  }
  if (truncate) {
    dbf::SetFieldData(defs, def, type, record, &v);
    return;
  }
  // The field is written in a copy first: a value the engine would cut or round beyond
  // the field's decimals is refused with the record untouched.
  std::vector<std::byte> trial(record.begin(), record.end());
  dbf::SetFieldData(defs, def, type, trial, &v);
  if (!StoredAsAsked(defs, def, type, trial, v)) RefuseAltered(def, value);
  std::copy(trial.begin(), trial.end(), record.begin());
}

void WritePendingMemos(dbf::TDbfFile& file, std::span<std::byte> record,
                       const std::vector<PendingMemo>& pending, bool replace_existing) {
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  for (const PendingMemo& memo : pending) {
    const dbf::TDbfFieldDef& def = *memo.def;
    uint32_t present = 0;
    uint32_t present_blocks = 0;
    TFieldValue v;
    if (replace_existing && dbf::GetFieldData(defs, def, TFieldType::ftInteger, record, &v) &&
        v.integer > 0) {
      present = static_cast<uint32_t>(v.integer);
      present_blocks = file.MemoFile()->ReadValue(present).block_count;
    }
    const uint32_t block = memo.data.empty()
                               ? 0
                               : file.MemoFile()->WriteValue(memo.data, present, present_blocks);
    if (block == 0) {
      dbf::SetFieldData(defs, def, TFieldType::ftInteger, record, nullptr);
    } else {
      v.integer = block;
      dbf::SetFieldData(defs, def, TFieldType::ftInteger, record, &v);
    }
  }
}

}  // namespace lgoty::tools
