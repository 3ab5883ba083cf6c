#include "sql/iso_date.h"

#include <cmath>
#include <cstdio>

namespace lgoty::sql {

std::string IsoDate(core::TDateTime value) {
  int year = 0, month = 0, day = 0;
  core::DecodeDate(value, year, month, day);
  if (year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    return buffer;
  }
  // Every value of a register: the digits written directly, as "%04d-%02d-%02d" writes them.
  char text[10] = {static_cast<char>('0' + year / 1000), static_cast<char>('0' + year / 100 % 10),
                   static_cast<char>('0' + year / 10 % 10), static_cast<char>('0' + year % 10),
                   '-', static_cast<char>('0' + month / 10), static_cast<char>('0' + month % 10),
                   '-', static_cast<char>('0' + day / 10), static_cast<char>('0' + day % 10)};
  return std::string(text, sizeof text);
}

std::string IsoTime(core::TDateTime value) {
  int hour = 0, minute = 0, second = 0, msec = 0;
  core::DecodeTime(value, hour, minute, second, msec);
  char buffer[32];
  if (msec != 0) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d", hour, minute, second, msec);
  } else {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour, minute, second);
  }
  return buffer;
}

std::string IsoDateTime(core::TDateTime value) { return IsoDate(value) + " " + IsoTime(value); }

namespace {

// Reads exactly `width` digits at pos.
bool Digits(std::string_view text, size_t& pos, size_t width, int& out) {
  if (pos + width > text.size()) return false;
  out = 0;
  for (size_t i = 0; i < width; ++i) {
    const char c = text[pos + i];
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  pos += width;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

bool ParseTime(std::string_view text, size_t& pos, core::TDateTime& out) {
  int hour = 0, minute = 0, second = 0, msec = 0;
  if (!Digits(text, pos, 2, hour) || !Expect(text, pos, ':') || !Digits(text, pos, 2, minute)) {
    return false;
  }
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!Digits(text, pos, 2, second)) return false;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      if (!Digits(text, pos, 3, msec)) return false;
    }
  }
  return core::TryEncodeTime(hour, minute, second, msec, out);
}

}  // namespace

bool ParseIsoDateTime(std::string_view text, core::TDateTime& out) {
  size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (text.size() >= 5 && text[2] == ':') {
    return ParseTime(text, pos, out) && pos == text.size();
  }
  if (!Digits(text, pos, 4, year) || !Expect(text, pos, '-') || !Digits(text, pos, 2, month) ||
      !Expect(text, pos, '-') || !Digits(text, pos, 2, day)) {
    return false;
  }
  core::TDateTime date = 0;
  if (!core::TryEncodeDate(year, month, day, date)) return false;
  if (pos == text.size()) {
    out = date;
    return true;
  }
  if (text[pos] != ' ' && text[pos] != 'T') return false;
  ++pos;
  core::TDateTime time = 0;
  if (!ParseTime(text, pos, time) || pos != text.size()) return false;
  out = date >= 0 ? date + time : date - time;
  return true;
}

}  // namespace lgoty::sql
