// FormatDateTime and the DateToStr family. A pattern is read as runs of one letter (any
// case): the length of the run picks the form ("d" 5, "dd" 05, "ddd" short name ...). "m"
// right after an hour token (only letters count, so "hh:mm" qualifies) means minutes. The
// hour is on a 12-hour clock when an AM/PM token comes later in the pattern before the next
// hour token.
#include <string>

#include "core/ascii_text.h"
#include "core/text_format.h"

namespace lgoty::core {
namespace {

// "c", "ddddd", "t" expand to the settings' own patterns; those could name each other, so
// the expansion depth is limited.
constexpr int kMaxNesting = 2;

bool StartsWithNoCase(std::string_view s, size_t i, std::string_view what) {
  return s.size() - i >= what.size() && AsciiSameText(s.substr(i, what.size()), what);
}

std::string Padded(int value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, static_cast<size_t>(width) - text.size(), '0');
  return text;
}

struct Parts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0, day_of_week = 0;
};

class DateTimeFormatter {
 public:
  DateTimeFormatter(const Parts& parts, const FormatSettings& fs) : p_(parts), fs_(fs) {}

  void Append(std::string_view format, int depth) {
    if (depth > kMaxNesting) return;
    char last_token = ' ';
    size_t i = 0;
    while (i < format.size()) {
      const char c = format[i];
      const char u = AsciiUpper(c);
      if (c == '\'' || c == '"') {
        const size_t close = format.find(c, i + 1);
        const size_t end = close == std::string_view::npos ? format.size() : close;
        out_ += format.substr(i + 1, end - i - 1);
        i = end == format.size() ? end : end + 1;
        continue;
      }
      if (u == 'A') {
        if (AppendAmPm(format, i)) continue;
        out_ += c;
        ++i;
        continue;
      }
      if (u < 'A' || u > 'Z') {
        if (c == '/') {
          out_ += fs_.DateSeparator;
        } else if (c == ':') {
          out_ += fs_.TimeSeparator;
        } else {
          out_ += c;
        }
        ++i;
        continue;
      }
      size_t count = 1;
      while (i + count < format.size() && AsciiUpper(format[i + count]) == u) ++count;
      char token = u;
      if (token == 'M' && last_token == 'H') token = 'N';
      last_token = token;
      AppendToken(token, count, format, i, depth);
      i += count;
    }
  }

  std::string Take() { return std::move(out_); }

 private:
  void AppendToken(char token, size_t count, std::string_view format, size_t at, int depth) {
    switch (token) {
      case 'Y':
        out_ += count <= 2 ? Padded(p_.year % 100, 2) : Padded(p_.year, 4);
        break;
      case 'M':
        if (count <= 2) {
          out_ += Padded(p_.month, static_cast<int>(count));
        } else if (p_.month >= 1) {
          out_ += count == 3 ? fs_.ShortMonthNames[static_cast<size_t>(p_.month - 1)]
                             : fs_.LongMonthNames[static_cast<size_t>(p_.month - 1)];
        }
        break;
      case 'D':
        if (count <= 2) {
          out_ += Padded(p_.day, static_cast<int>(count));
        } else if (count <= 4) {
          if (p_.day_of_week >= 1) {
            out_ += count == 3 ? fs_.ShortDayNames[static_cast<size_t>(p_.day_of_week - 1)]
                               : fs_.LongDayNames[static_cast<size_t>(p_.day_of_week - 1)];
          }
        } else {
          Append(count == 5 ? fs_.ShortDateFormat : fs_.LongDateFormat, depth + 1);
        }
        break;
      case 'H': {
        int hour = p_.hour;
        if (TwelveHourClock(format, at + count)) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        out_ += Padded(hour, count == 1 ? 1 : 2);
        break;
      }
      case 'N':
        out_ += Padded(p_.minute, count == 1 ? 1 : 2);
        break;
      case 'S':
        out_ += Padded(p_.second, count == 1 ? 1 : 2);
        break;
      case 'Z':
        out_ += Padded(p_.msec, count < 3 ? 1 : 3);
        break;
      case 'T':
        Append(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, depth + 1);
        break;
      case 'C':
        Append(fs_.ShortDateFormat, depth + 1);
        if (p_.hour != 0 || p_.minute != 0 || p_.second != 0 || p_.msec != 0) {
          out_ += ' ';
          Append(fs_.LongTimeFormat, depth + 1);
        }
        break;
      default:
        out_.append(format.substr(at, count));
        break;
    }
  }

  // Looks ahead from i for an AM/PM token, stopping at the next hour token; quoted text
  // does not count.
  static bool TwelveHourClock(std::string_view format, size_t i) {
    char quote = 0;
    for (; i < format.size(); ++i) {
      const char c = format[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (AsciiUpper(c) == 'H') {
        return false;
      } else if (AsciiUpper(c) == 'A') {
        return StartsWithNoCase(format, i, "AM/PM") || StartsWithNoCase(format, i, "A/P") ||
               StartsWithNoCase(format, i, "AMPM");
      }
    }
    return false;
  }

  // "am/pm" and "a/p" keep the case of the pattern; "ampm" prints the settings' texts.
  bool AppendAmPm(std::string_view format, size_t& i) {
    const bool pm = p_.hour >= 12;
    if (StartsWithNoCase(format, i, "AM/PM")) {
      const std::string_view word = format.substr(i + (pm ? 3 : 0), 2);
      out_ += word;
      i += 5;
      return true;
    }
    if (StartsWithNoCase(format, i, "A/P")) {
      out_ += format[i + (pm ? 2 : 0)];
      i += 3;
      return true;
    }
    if (StartsWithNoCase(format, i, "AMPM")) {
      out_ += pm ? fs_.TimePMString : fs_.TimeAMString;
      i += 4;
      return true;
    }
    return false;
  }

  const Parts& p_;
  const FormatSettings& fs_;
  std::string out_;
};

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const FormatSettings& fs) {
  Parts parts;
  DecodeDate(value, parts.year, parts.month, parts.day);
  DecodeTime(value, parts.hour, parts.minute, parts.second, parts.msec);
  parts.day_of_week = DayOfWeek(value);
  DateTimeFormatter formatter(parts, fs);
  formatter.Append(format.empty() ? std::string_view("c") : format, 0);
  return formatter.Take();
}

std::string DateToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime(fs.ShortDateFormat, value, fs);
}

std::string TimeToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime(fs.LongTimeFormat, value, fs);
}

std::string DateTimeToStr(TDateTime value, const FormatSettings& fs) {
  return FormatDateTime("c", value, fs);
}

}  // namespace lgoty::core
