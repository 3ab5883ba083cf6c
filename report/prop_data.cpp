#include "report/prop_data.h"

#include <cmath>
#include <cstring>

#include "core/byte_codec.h"
#include "core/code_page.h"
#include "core/utf8_text.h"

namespace lgoty::report {
namespace {

enum Tag : uint8_t {
  vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaExtended = 5, vaString = 6,
  vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11, vaLString = 12, vaNil = 13,
  vaCollection = 14, vaSingle = 15, vaCurrency = 16, vaDate = 17, vaWString = 18, vaInt64 = 19,
  vaUTF8String = 20, vaDouble = 21
};

// Nesting of lists and collections that a reader follows; deeper data counts as malformed.
constexpr int kMaxNesting = 16;

struct Malformed {};

class Decoder {
 public:
  explicit Decoder(std::string_view data) : data_(data) {}
  bool AtEnd() const { return pos_ >= data_.size(); }

  uint8_t Byte() {
    if (pos_ >= data_.size()) throw Malformed{};
    return static_cast<uint8_t>(data_[pos_++]);
  }
  std::string_view Bytes(uint64_t n) {
    if (n > data_.size() - pos_) throw Malformed{};
    std::string_view out = data_.substr(pos_, n);
    pos_ += n;
    return out;
  }
  uint64_t UInt(int width) {
    return core::GetUnsignedLE(reinterpret_cast<const std::byte*>(Bytes(static_cast<uint64_t>(width)).data()),
                               static_cast<size_t>(width));
  }
  std::string ShortString() { return std::string(Bytes(Byte())); }

  PropValue::Properties Properties(int depth, bool until_null) {
    PropValue::Properties out;
    for (;;) {
      if (!until_null && AtEnd()) return out;
      if (until_null && Peek() == vaNull) {
        ++pos_;
        return out;
      }
      std::string name = ShortString();
      PropValue value = Value(depth);
      out.emplace_back(std::move(name), std::move(value));
    }
  }

  PropValue Value(int depth) {
    if (depth > kMaxNesting) throw Malformed{};
    PropValue v;
    uint8_t tag = Byte();
    switch (tag) {
      case vaNull: v.type = PropValue::Type::Null; break;
      case vaNil: v.type = PropValue::Type::Nil; break;
      case vaFalse: case vaTrue:
        v.type = PropValue::Type::Boolean;
        v.integer = tag == vaTrue;
        break;
      case vaInt8: v = PropValue::Int(static_cast<int8_t>(UInt(1))); break;
      case vaInt16: v = PropValue::Int(static_cast<int16_t>(UInt(2))); break;
      case vaInt32: v = PropValue::Int(static_cast<int32_t>(UInt(4))); break;
      case vaInt64: v = PropValue::Int(static_cast<int64_t>(UInt(8))); break;
      case vaCurrency:
        v.type = PropValue::Type::Float;
        v.real = static_cast<double>(static_cast<int64_t>(UInt(8))) / 10000.0;
        break;
      case vaSingle: {
        uint32_t bits = static_cast<uint32_t>(UInt(4));
        float f;
        std::memcpy(&f, &bits, 4);
        v.type = PropValue::Type::Float;
        v.real = f;
        break;
      }
      case vaDouble: case vaDate: {
        uint64_t bits = UInt(8);
        v.type = PropValue::Type::Float;
        std::memcpy(&v.real, &bits, 8);
        break;
      }
      case vaExtended: {
        std::string_view raw = Bytes(10);
        v.type = PropValue::Type::Float;
        v.real = ExtendedToDouble(reinterpret_cast<const unsigned char*>(raw.data()));
        break;
      }
      case vaString:
        v = PropValue::Str(core::ToUtf8(core::AnsiCodePage(), ShortString()));
        break;
      case vaLString:
        v = PropValue::Str(core::ToUtf8(core::AnsiCodePage(), Bytes(UInt(4))));
        break;
      case vaUTF8String: v = PropValue::Str(std::string(Bytes(UInt(4)))); break;
      case vaWString: {
        uint64_t count = UInt(4);
        if (count > (data_.size() - pos_) / 2) throw Malformed{};
        std::u16string wide;
        for (uint64_t i = 0; i < count; ++i) wide += static_cast<char16_t>(UInt(2));
        v = PropValue::Str(Utf16ToUtf8(wide));
        break;
      }
      case vaIdent:
        v.type = PropValue::Type::Ident;
        v.text = ShortString();
        break;
      case vaBinary: v = PropValue::Bin(std::string(Bytes(UInt(4)))); break;
      case vaSet:
        v.type = PropValue::Type::Set;
        for (;;) {
          std::string element = ShortString();
          if (element.empty()) break;
          v.set_elements.push_back(std::move(element));
        }
        break;
      case vaList: {
        // A list of values; kept as one collection item of unnamed entries.
        v.type = PropValue::Type::Collection;
        PropValue::Properties values;
        while (Peek() != vaNull) values.emplace_back(std::string(), Value(depth + 1));
        ++pos_;
        v.items.push_back(std::move(values));
        break;
      }
      case vaCollection:
        v.type = PropValue::Type::Collection;
        while (Peek() != vaNull) {
          uint8_t item_tag = Byte();
          if (item_tag != vaList) {
            // An item may start with its index as an integer value.
            if (item_tag < vaInt8 || item_tag > vaInt32) throw Malformed{};
            UInt(item_tag == vaInt8 ? 1 : item_tag == vaInt16 ? 2 : 4);
            if (Byte() != vaList) throw Malformed{};
          }
          v.items.push_back(Properties(depth + 1, true));
        }
        ++pos_;
        break;
      default:
        throw Malformed{};
    }
    return v;
  }

 private:
  uint8_t Peek() {
    if (pos_ >= data_.size()) throw Malformed{};
    return static_cast<uint8_t>(data_[pos_]);
  }
  static std::string Utf16ToUtf8(const std::u16string& wide) {
    std::string out;
    for (size_t i = 0; i < wide.size(); ++i) {
      uint32_t cp = wide[i];
      if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
        ++i;
      } else if (cp >= 0xD800 && cp <= 0xDFFF) {
        cp = 0xFFFD;
      }
      core::AppendUtf8(out, cp);
    }
    return out;
  }

  std::string_view data_;
  size_t pos_ = 0;
};

class Encoder {
 public:
  void Byte(uint8_t b) { out_ += static_cast<char>(b); }
  void UInt(uint64_t v, int width) {
    std::byte bytes[8];
    core::PutUnsignedLE(bytes, static_cast<size_t>(width), v);
    out_.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(width));
  }
  void ShortString(std::string_view s) {
    size_t n = std::min<size_t>(s.size(), 255);
    Byte(static_cast<uint8_t>(n));
    out_.append(s.substr(0, n));
  }
  void Properties(const PropValue::Properties& entries) {
    for (const auto& [name, value] : entries) {
      ShortString(name);
      Value(value);
    }
  }
  void Value(const PropValue& v) {
    switch (v.type) {
      case PropValue::Type::Null: Byte(vaNull); break;
      case PropValue::Type::Nil: Byte(vaNil); break;
      case PropValue::Type::Boolean: Byte(v.integer ? vaTrue : vaFalse); break;
      case PropValue::Type::Integer:
        if (v.integer >= INT8_MIN && v.integer <= INT8_MAX) {
          Byte(vaInt8);
          UInt(static_cast<uint64_t>(v.integer), 1);
        } else if (v.integer >= INT16_MIN && v.integer <= INT16_MAX) {
          Byte(vaInt16);
          UInt(static_cast<uint64_t>(v.integer), 2);
        } else if (v.integer >= INT32_MIN && v.integer <= INT32_MAX) {
          Byte(vaInt32);
          UInt(static_cast<uint64_t>(v.integer), 4);
        } else {
          Byte(vaInt64);
          UInt(static_cast<uint64_t>(v.integer), 8);
        }
        break;
      case PropValue::Type::Float: {
        unsigned char raw[10];
        DoubleToExtended(v.real, raw);
        Byte(vaExtended);
        out_.append(reinterpret_cast<const char*>(raw), 10);
        break;
      }
      case PropValue::Type::String: {
        int cp = core::AnsiCodePage();
        std::string ansi = core::FromUtf8(cp, v.text);
        if (core::ToUtf8(cp, ansi) != v.text) {
          Byte(vaUTF8String);
          UInt(v.text.size(), 4);
          out_ += v.text;
        } else if (ansi.size() <= 255) {
          Byte(vaString);
          ShortString(ansi);
        } else {
          Byte(vaLString);
          UInt(ansi.size(), 4);
          out_ += ansi;
        }
        break;
      }
      case PropValue::Type::Ident: Byte(vaIdent); ShortString(v.text); break;
      case PropValue::Type::Binary:
        Byte(vaBinary);
        UInt(v.text.size(), 4);
        out_ += v.text;
        break;
      case PropValue::Type::Set:
        Byte(vaSet);
        for (const std::string& e : v.set_elements) ShortString(e);
        Byte(0);
        break;
      case PropValue::Type::Collection:
        Byte(vaCollection);
        for (const auto& item : v.items) {
          Byte(vaList);
          Properties(item);
          Byte(vaNull);
        }
        Byte(vaNull);
        break;
    }
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::string EncodePropData(const PropValue::Properties& entries) {
  Encoder e;
  e.Properties(entries);
  return e.Take();
}

PropValue::Properties DecodePropData(std::string_view bytes) {
  PropValue::Properties out;
  Decoder d(bytes);
  try {
    while (!d.AtEnd()) {
      std::string name = d.ShortString();
      PropValue value = d.Value(0);
      out.emplace_back(std::move(name), std::move(value));
    }
  } catch (const Malformed&) {
    // What was read before the fault stays.
  } catch (const std::exception&) {
  }
  return out;
}

std::string BytesToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.resize(bytes.size() * 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto b = static_cast<unsigned char>(bytes[i]);
    out[2 * i] = kDigits[b >> 4];
    out[2 * i + 1] = kDigits[b & 15];
  }
  return out;
}

std::string HexToBytes(std::string_view hex) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) break;
    out += static_cast<char>(hi * 16 + lo);
  }
  return out;
}

// Extended: 64-bit mantissa with an explicit integer bit, 15-bit exponent biased by 16383,
// sign in the top bit of the last byte.
double ExtendedToDouble(const unsigned char bytes[10]) {
  const auto* raw = reinterpret_cast<const std::byte*>(bytes);
  const uint64_t mantissa = core::GetU64LE(raw);
  const int exponent = core::GetU16LE(raw + 8) & 0x7FFF;
  bool negative = (bytes[9] & 0x80) != 0;
  double value;
  if (exponent == 0 && mantissa == 0) {
    value = 0;
  } else if (exponent == 0x7FFF) {
    value = (mantissa << 1) == 0 ? HUGE_VAL : NAN;
  } else {
    value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
  }
  return negative ? -value : value;
}

void DoubleToExtended(double value, unsigned char bytes[10]) {
  std::memset(bytes, 0, 10);
  bool negative = std::signbit(value);
  value = std::fabs(value);
  uint64_t mantissa = 0;
  int exponent = 0;
  if (std::isnan(value)) {
    exponent = 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(value)) {
    exponent = 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (value != 0) {
    int e;
    double fraction = std::frexp(value, &e);  // value = fraction * 2^e, fraction in [0.5, 1)
    mantissa = static_cast<uint64_t>(std::ldexp(fraction, 64));
    exponent = e - 1 + 16383;
  }
  auto* raw = reinterpret_cast<std::byte*>(bytes);
  core::PutU64LE(raw, mantissa);
  core::PutU16LE(raw + 8, static_cast<uint16_t>((exponent & 0x7FFF) | (negative ? 0x8000 : 0)));
}

}  // namespace lgoty::report
