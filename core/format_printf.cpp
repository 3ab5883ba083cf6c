// Format: printf-style directives over Variant arguments.
//
//   "%" [index ":"] ["-"] [width] ["." precision] type
//
// index, width and precision are decimal numbers or "*" (taken from the next argument, which
// must be an integer). After an explicit index the following directives continue with the
// argument after it. Width and precision count characters (UTF-8 code points), not bytes.
//
// Argument kinds each type accepts (anything else is an error, as with a typed argument
// list): d u x need an integer (Smallint, Integer, Int64); e f g n m need a Double, Currency
// or Date; s takes text and shows other scalar kinds by their text; p takes an object
// reference or an integer and prints at least 8 hexadecimal digits.
#include <algorithm>
#include <cstdint>

#include "core/exception.h"
#include "core/ascii_text.h"
#include "core/text_format.h"
#include "core/utf8_text.h"
#include "core/variant.h"

namespace lgoty::core {
namespace {

class Formatter {
 public:
  Formatter(std::string_view format, std::span<const Variant> args, const FormatSettings& fs)
      : format_(format), args_(args), fs_(fs) {}

  std::string Run() {
    std::string out;
    size_t i = 0;
    while (i < format_.size()) {
      const size_t percent = format_.find('%', i);
      if (percent == std::string_view::npos) {
        out.append(format_.substr(i));
        break;
      }
      out.append(format_.substr(i, percent - i));
      i = percent + 1;
      if (i < format_.size() && format_[i] == '%') {
        out += '%';
        ++i;
        continue;
      }
      out += Directive(i);
    }
    return out;
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError("Format '" + std::string(format_) + "' invalid or incompatible with argument");
  }

  const Variant& NextArg() {
    if (next_arg_ >= args_.size()) Fail();
    return args_[next_arg_++];
  }

  static bool IsInteger(const Variant& v) {
    return v.kind() == Variant::Kind::Smallint || v.kind() == Variant::Kind::Integer ||
           v.kind() == Variant::Kind::Int64;
  }

  // A number or "*"; -1 when neither is there.
  int ReadCount(size_t& i) {
    if (i < format_.size() && format_[i] == '*') {
      ++i;
      const Variant& v = NextArg();
      if (!IsInteger(v)) Fail();
      return static_cast<int>(std::clamp<int64_t>(v.ordinal(), 0, kMaxCount));
    }
    if (i >= format_.size() || format_[i] < '0' || format_[i] > '9') return -1;
    int64_t n = 0;
    while (i < format_.size() && format_[i] >= '0' && format_[i] <= '9') {
      n = std::min<int64_t>(n * 10 + (format_[i] - '0'), kMaxCount);
      ++i;
    }
    return static_cast<int>(n);
  }

  std::string Directive(size_t& i) {
    // Index: a count followed by ":".
    const size_t start = i;
    int count = ReadCount(i);
    if (count >= 0 && i < format_.size() && format_[i] == ':') {
      next_arg_ = static_cast<size_t>(count);
      ++i;
      count = -1;
    } else if (count >= 0) {
      i = start;  // it was the width; read it again below (a "*" takes its argument once)
      if (format_[start] == '*') --next_arg_;
    }
    bool left = false;
    if (i < format_.size() && format_[i] == '-') {
      left = true;
      ++i;
    }
    const int width = ReadCount(i);
    int precision = -1;
    if (i < format_.size() && format_[i] == '.') {
      ++i;
      precision = ReadCount(i);
      if (precision < 0) precision = 0;
    }
    if (i >= format_.size()) Fail();
    char type = format_[i++];
    type = AsciiLower(type);
    std::string text = Convert(type, precision);
    const size_t length = Utf8Length(text);
    if (width > 0 && length < static_cast<size_t>(width)) {
      const std::string pad(static_cast<size_t>(width) - length, ' ');
      text = left ? text + pad : pad + text;
    }
    return text;
  }

  std::string Convert(char type, int precision) {
    const Variant& arg = NextArg();
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        if (!IsInteger(arg)) Fail();
        const int64_t value = arg.ordinal();
        const bool wide = arg.kind() == Variant::Kind::Int64;
        std::string digits;
        bool negative = false;
        if (type == 'x' || (type == 'u' && value < 0)) {
          const uint64_t bits = wide ? static_cast<uint64_t>(value)
                                     : static_cast<uint64_t>(static_cast<uint32_t>(value));
          digits = type == 'x' ? IntToHex(bits, 0) : std::to_string(bits);
        } else {
          negative = value < 0;
          digits = std::to_string(negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
        }
        if (precision > 0 && static_cast<size_t>(precision) > digits.size()) {
          digits.insert(0, static_cast<size_t>(precision) - digits.size(), '0');
        }
        return negative ? "-" + digits : digits;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        double value = 0;
        switch (arg.kind()) {
          case Variant::Kind::Double:
          case Variant::Kind::Date: value = arg.real(); break;
          case Variant::Kind::Currency: value = static_cast<double>(arg.ordinal()) / 10000.0; break;
          default: Fail();
        }
        switch (type) {
          case 'e':
            return FloatToStrF(value, FloatFormat::ffExponent, precision < 0 ? 15 : precision, 3, fs_);
          case 'f':
            return FloatToStrF(value, FloatFormat::ffFixed, 15, precision < 0 ? 2 : precision, fs_);
          case 'g':
            return FloatToStrF(value, FloatFormat::ffGeneral, precision < 0 ? 15 : precision, 0, fs_);
          case 'n':
            return FloatToStrF(value, FloatFormat::ffNumber, 15, precision < 0 ? 2 : precision, fs_);
          default:
            return FloatToStrF(value, FloatFormat::ffCurrency, 15,
                               precision < 0 ? fs_.CurrencyDecimals : precision, fs_);
        }
      }
      case 's': {
        std::string text;
        switch (arg.kind()) {
          case Variant::Kind::String: text = arg.text(); break;
          case Variant::Kind::Null:
          case Variant::Kind::Object:
          case Variant::Kind::Array: Fail();
          default: text = arg.AsString(fs_); break;
        }
        if (precision >= 0) return std::string(Utf8Prefix(text, static_cast<size_t>(precision)));
        return text;
      }
      case 'p': {
        uint64_t bits = 0;
        if (arg.kind() == Variant::Kind::Object) {
          bits = reinterpret_cast<uintptr_t>(arg.AsObject());
        } else if (IsInteger(arg)) {
          bits = static_cast<uint64_t>(arg.ordinal());
        } else {
          Fail();
        }
        return IntToHex(bits, 8);
      }
      default:
        Fail();
    }
  }

  // Widths and precisions above this are refused by clamping, so that "%999999999d" cannot
  // ask for gigabytes of padding.
  static constexpr int64_t kMaxCount = 1 << 16;

  std::string_view format_;
  std::span<const Variant> args_;
  const FormatSettings& fs_;
  size_t next_arg_ = 0;
};

}  // namespace

std::string Format(std::string_view format, std::span<const Variant> args,
                   const FormatSettings& fs) {
  return Formatter(format, args, fs).Run();
}

}  // namespace lgoty::core
