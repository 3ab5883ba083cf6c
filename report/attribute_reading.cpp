#include "report/attribute_reading.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/format_settings.h"
#include "core/text_format.h"
#include "core/xml_document.h"

namespace lgoty::report {
namespace {

// The lookup table: a fixed number of slots, each holding the last (class, name) that hashed
// to it. Names longer than a slot holds are looked up directly.
constexpr size_t kSlots = 512;
constexpr size_t kMaxName = 40;

struct Slot {
  const core::ClassInfo* info = nullptr;
  const core::PropInfo* prop = nullptr;
  uint8_t size = 0;
  char name[kMaxName];
};

size_t SlotOf(const core::ClassInfo* info, std::string_view name) {
  uint64_t h = 14695981039346656037ull ^ reinterpret_cast<uintptr_t>(info);
  for (char c : name) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  h ^= h >> 29;
  return static_cast<size_t>(h % kSlots);
}

const core::FormatSettings& DotSettings() {
  static const core::FormatSettings kDot = [] {
    core::FormatSettings fs = core::FormatSettings::English();
    fs.DecimalSeparator = ".";
    fs.ThousandSeparator = "";
    return fs;
  }();
  return kDot;
}

// A short value without entities that reads as a number at once, without copies.
std::optional<double> ParseShort(std::string_view raw) {
  constexpr size_t kShort = 48;
  if (raw.size() > kShort || raw.find('&') != std::string_view::npos) return std::nullopt;
  char cleaned[kShort];
  size_t n = 0;
  for (char c : raw) {
    if (c == ' ') continue;
    cleaned[n++] = c == ',' ? '.' : c;
  }
  double value = 0;
  auto [ptr, ec] = std::from_chars(cleaned, cleaned + n, value);
  if (ec == std::errc() && ptr == cleaned + n && std::isfinite(value)) return value;
  return std::nullopt;
}

}  // namespace

const core::PropInfo* FindPropertyCached(const core::ClassInfo* info, std::string_view name) {
  if (name.size() > kMaxName) return info->FindProperty(name);
  thread_local Slot slots[kSlots];
  Slot& slot = slots[SlotOf(info, name)];
  if (slot.info == info && slot.size == name.size() &&
      std::memcmp(slot.name, name.data(), name.size()) == 0) {
    return slot.prop;
  }
  const core::PropInfo* prop = info->FindProperty(name);
  slot.info = info;
  slot.prop = prop;
  slot.size = static_cast<uint8_t>(name.size());
  std::memcpy(slot.name, name.data(), name.size());
  return prop;
}

std::optional<double> ParsePlainDecimal(std::string_view raw) {
  constexpr int kMaxDigits = 15;  // below 2^53: the integer is exact
  static constexpr double kPowers[kMaxDigits + 1] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,
                                                     1e6, 1e7, 1e8,  1e9,  1e10, 1e11,
                                                     1e12, 1e13, 1e14, 1e15};
  size_t i = 0;
  const bool negative = !raw.empty() && raw[0] == '-';
  if (negative) ++i;
  uint64_t digits = 0;
  int count = 0;
  int fraction = -1;  // digits after the separator; -1 without one
  const size_t start = i;
  for (; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c >= '0' && c <= '9') {
      if (++count > kMaxDigits) return std::nullopt;
      digits = digits * 10 + static_cast<uint64_t>(c - '0');
      if (fraction >= 0) ++fraction;
    } else if ((c == ',' || c == '.') && fraction < 0 && i > start) {
      fraction = 0;
    } else {
      return std::nullopt;
    }
  }
  if (count == 0 || fraction == 0) return std::nullopt;
  double value = static_cast<double>(digits);
  if (fraction > 0) value /= kPowers[fraction];
  return negative ? -value : value;
}

double ParseFloatAttributeGeneral(std::string_view raw) {
  std::string cleaned;
  for (char c : core::XMLToStr(raw)) {
    if (c == ' ') continue;
    cleaned += c == ',' ? '.' : c;
  }
  double value = 0;
  const char* end = cleaned.data() + cleaned.size();
  auto [ptr, ec] = std::from_chars(cleaned.data(), end, value);
  if (ec == std::errc() && ptr == end && std::isfinite(value)) return value;
  return core::StrToFloat(cleaned, DotSettings());
}

double ParseFloatAttribute(std::string_view raw) {
  if (std::optional<double> value = ParsePlainDecimal(raw)) return *value;
  if (std::optional<double> value = ParseShort(raw)) return *value;
  return ParseFloatAttributeGeneral(raw);
}

}  // namespace lgoty::report
