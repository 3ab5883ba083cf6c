#include "app/totals.h"

#include <cmath>
#include <span>
#include <vector>

#include "dbf/field_codec.h"

namespace lgoty::app {

namespace {

constexpr uint32_t kProgressEvery = 65536;

__int128 PowerOfTen(int n) {
  __int128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

// Parses the ASCII digits of a numeric field ("  -123.45", blanks for empty) into units of
// 10^-decimals. False when the bytes are anything else, or carry more decimals than
// declared (then the codec decides).
bool ParseUnits(std::span<const std::byte> bytes, int decimals, bool& empty, __int128& units) {
  size_t i = 0;
  const size_t n = bytes.size();
  auto at = [&](size_t k) { return static_cast<char>(bytes[k]); };
  while (i < n && at(i) == ' ') ++i;
  empty = i == n;
  units = 0;
  if (empty) return true;
  bool negative = false;
  if (at(i) == '-' || at(i) == '+') negative = at(i++) == '-';
  int digits = 0, fraction = -1;
  for (; i < n; ++i) {
    const char c = at(i);
    if (c >= '0' && c <= '9') {
      if (++digits > 30) return false;
      units = units * 10 + (c - '0');
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0) {
      fraction = 0;
    } else if (c == ' ') {
      for (; i < n; ++i)
        if (at(i) != ' ') return false;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  if (fraction < 0) fraction = 0;
  if (fraction > decimals) return false;
  units *= PowerOfTen(decimals - fraction);
  if (negative) units = -units;
  return true;
}

}  // namespace

TTotals SumNonZero(dbf::TDbfFile& file, const dbf::TDbfFieldDef& amount,
                   const std::function<void(double)>& progress) {
  TTotals totals;
  totals.decimals = amount.Precision();
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  const size_t offset = static_cast<size_t>(amount.Offset());
  const size_t size = static_cast<size_t>(amount.Size());
  const bool plain_digits = amount.NativeFieldType() == 'N' || amount.NativeFieldType() == 'F';
  const double scale = std::pow(10.0, totals.decimals);
  std::vector<std::byte> record(file.RecordSize());
  const uint32_t count = file.RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (progress && n % kProgressEvery == 0) progress(static_cast<double>(n) / count);
    if (file.ReadRecord(n, record) < record.size()) break;
    if (record[0] == std::byte{'*'}) continue;
    bool empty = false;
    __int128 units = 0;
    if (!plain_digits || offset + size > record.size() ||
        !ParseUnits(std::span<const std::byte>(record).subspan(offset, size), totals.decimals,
                    empty, units)) {
      dbf::TFieldValue value;
      empty = !dbf::GetFieldData(defs, amount, data::TFieldType::ftFloat, record, &value);
      units = empty ? 0 : static_cast<__int128>(std::llround(value.real * scale));
    }
    if (empty || units == 0) continue;
    ++totals.count;
    totals.units += units;
  }
  if (progress) progress(1.0);
  return totals;
}

std::string FormatUnits(__int128 units, int decimals, const std::string& decimal_separator) {
  const bool negative = units < 0;
  unsigned __int128 magnitude = negative ? static_cast<unsigned __int128>(-units)
                                         : static_cast<unsigned __int128>(units);
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (decimals > 0) {
    if (digits.size() <= static_cast<size_t>(decimals))
      digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
    std::string fraction = digits.substr(digits.size() - static_cast<size_t>(decimals));
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    digits = fraction.empty() ? whole : whole + decimal_separator + fraction;
  }
  return negative ? "-" + digits : digits;
}

}  // namespace lgoty::app
