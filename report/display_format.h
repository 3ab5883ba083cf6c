// Display formats: how a value becomes the text a memo prints (TfrxFormat).
//
//   Null        an empty text;
//   fkText      the value's plain string form;
//   fkNumeric   FormatStr with '#' or a leading '0' is a picture (FormatFloat); otherwise a
//               printf-style format, applied to the integer part when it holds 'd' or 'u'
//               and to the floating-point value otherwise ("%2.2n": two decimals with
//               thousands grouping). A one-character DecimalSeparator that differs from
//               the settings' replaces the last decimal separator of the result; a
//               one-character ThousandSeparator replaces every thousands separator;
//   fkDateTime  FormatDateTime with FormatStr;
//   fkBoolean   FormatStr "no,yes": the part before the comma unless the value is true.
// A value the format cannot take (text under a numeric format, a bad format string)
// prints in its plain string form.
#pragma once

#include <string>

#include "core/format_settings.h"
#include "core/variant.h"

namespace lgoty::report {

class TfrxFormat;

std::string FormatValue(const core::Variant& value, const TfrxFormat& format,
                        const core::FormatSettings& fs = core::DefaultFormatSettings());

}  // namespace lgoty::report
