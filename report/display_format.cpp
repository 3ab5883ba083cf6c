#include "report/display_format.h"

#include <cmath>

#include "core/format_fixed_directive.h"
#include "core/text_format.h"
#include "core/utf8_text.h"
#include "report/graphics.h"

namespace lgoty::report {

using core::Variant;

namespace {

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size())) {
    s.replace(pos, from.size(), to);
  }
}

std::string FormatNumeric(const Variant& value, const TfrxFormat& format, const core::FormatSettings& fs) {
  const double f = value.kind() == Variant::Kind::Currency ? static_cast<double>(value.AsCurrency(fs)) / 10000.0
                                                            : value.AsDouble(fs);
  const std::string& fmt = format.format_str;
  std::string out;
  if (fmt.find('#') != std::string::npos || (!fmt.empty() && fmt[0] == '0')) {
    out = core::FormatFloat(fmt, f, fs);
  } else if (fmt.find('d') != std::string::npos || fmt.find('u') != std::string::npos) {
    if (!std::isfinite(f) || std::fabs(f) >= 9.2e18) throw core::EConvertError("Invalid integer value");
    const Variant arg(static_cast<int64_t>(std::trunc(f)));
    out = core::Format(fmt, std::span<const Variant>(&arg, 1), fs);
  } else if (!core::TryFormatFixedDirective(fmt, f, fs, out)) {
    const Variant arg(f);
    out = core::Format(fmt, std::span<const Variant>(&arg, 1), fs);
  }
  if (core::Utf8Length(format.decimal_separator) == 1 && format.decimal_separator != fs.DecimalSeparator &&
      !fs.DecimalSeparator.empty()) {
    size_t pos = out.rfind(fs.DecimalSeparator);
    if (pos != std::string::npos) out.replace(pos, fs.DecimalSeparator.size(), format.decimal_separator);
  }
  if (core::Utf8Length(format.thousand_separator) == 1 && format.thousand_separator != fs.ThousandSeparator) {
    ReplaceAll(out, fs.ThousandSeparator, format.thousand_separator);
  }
  return out;
}

}  // namespace

std::string FormatValue(const Variant& value, const TfrxFormat& format, const core::FormatSettings& fs) {
  if (value.IsNull()) return "";
  try {
    switch (format.kind) {
      case TfrxFormatKind::fkText:
        break;
      case TfrxFormatKind::fkNumeric:
        return FormatNumeric(value, format, fs);
      case TfrxFormatKind::fkDateTime:
        return core::FormatDateTime(format.format_str, value.AsDate(fs), fs);
      case TfrxFormatKind::fkBoolean: {
        const std::string& fmt = format.format_str;
        size_t comma = fmt.find(',');
        std::string no = comma == std::string::npos ? fmt : fmt.substr(0, comma);
        std::string yes = comma == std::string::npos ? std::string() : fmt.substr(comma + 1);
        return value.AsBoolean(fs) ? yes : no;
      }
    }
  } catch (const core::Exception&) {
    // The plain form below.
  }
  return core::VarToStr(value, fs);
}

}  // namespace lgoty::report
