#include "core/locale.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/ascii_text.h"
#include "core/exception.h"
#include "core/icu_library.h"

namespace lgoty::core {
namespace {

using icu_library::Icu;

constexpr const char* kDefaultLanguage = "ru";

// The collation language and a generation number that changes with it, so that each
// thread can tell that its cached collators are stale. The generation is also readable
// without the lock: a comparison checks it and takes the lock only when it moved.
std::mutex language_mutex;
std::string collation_language = kDefaultLanguage;
std::atomic<uint64_t> language_generation{0};

struct LanguageSnapshot {
  std::string language;
  uint64_t generation;
};

LanguageSnapshot CurrentLanguage() {
  std::lock_guard lock(language_mutex);
  return {collation_language, language_generation.load()};
}

struct CollatorCloser {
  void operator()(UCollator* collator) const { Icu().close(collator); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

void Check(UErrorCode status, const char* what) {
  if (U_FAILURE(status)) throw Exception(std::string(what) + Icu().errorName(status));
}

// Collators opened once per language and kept for the process; threads clone them. ICU's
// collator is not to be used from several threads at once, cloning is cheap next to opening.
//
// Strengths: ignoring case is the secondary strength (base letters and accents count, letter
// case does not). Respecting case is the identical strength: tertiary differences (case) and,
// for texts equal at every collation level, their code points, so that two texts compare equal
// only when they are canonically the same.
//
// Russian rules as ICU has them: "ё" equals "е" at the primary level and differs at the
// secondary level, so "Ёлкин" sorts among the "Елкин"s (after "елкин" and "Елкин", before
// "Елкина"), and AnsiSameText("ёлка", "елка") is false.
class CollatorPrototypes {
 public:
  Collator Clone(const std::string& language, bool ignore_case) {
    const icu_library::Functions& icu = Icu();
    std::lock_guard lock(mutex_);
    auto it = prototypes_.find(language);
    if (it == prototypes_.end()) {
      UErrorCode status = U_ZERO_ERROR;
      Collator collator(icu.open(language.c_str(), &status));
      if (U_FAILURE(status) || collator == nullptr) {
        throw Exception("Cannot open the collation of language \"" + language + "\": " +
                        icu.errorName(status));
      }
      it = prototypes_.emplace(language, std::move(collator)).first;
    }
    UErrorCode status = U_ZERO_ERROR;
    Collator clone(icu.clone(it->second.get(), &status));
    if (U_FAILURE(status) || clone == nullptr) throw Exception("Out of memory cloning a collator");
    icu.setStrength(clone.get(), ignore_case ? UCOL_SECONDARY : UCOL_IDENTICAL);
    return clone;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, Collator> prototypes_;
};

CollatorPrototypes& Prototypes() {
  static CollatorPrototypes prototypes;
  return prototypes;
}

// This thread's collators for the current language.
struct ThreadCollators {
  uint64_t generation = UINT64_MAX;
  Collator ignore_case;
  Collator respect_case;
};

UCollator* CollatorFor(bool ignore_case) {
  thread_local ThreadCollators collators;
  thread_local std::string language;
  if (collators.generation != language_generation.load(std::memory_order_acquire)) {
    const LanguageSnapshot current = CurrentLanguage();
    collators.ignore_case.reset();
    collators.respect_case.reset();
    collators.generation = current.generation;
    language = current.language;
  }
  Collator& slot = ignore_case ? collators.ignore_case : collators.respect_case;
  if (slot == nullptr) slot = Prototypes().Clone(language, ignore_case);
  return slot.get();
}

int CollatorCompare(std::string_view a, std::string_view b, bool ignore_case) {
  UCollator* collator = CollatorFor(ignore_case);
  // Identical bytes are equal at every level of every collation (ill-formed bytes read as the
  // same U+FFFD on both sides), so the comparison is not asked for: names looked up in lists
  // (XML items, fields) are mostly found spelt exactly as listed. The collator is still
  // fetched first, so a language whose collation cannot be opened fails as before.
  if (a.size() == b.size() && a.size() <= static_cast<size_t>(INT32_MAX) &&
      (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0)) {
    return 0;
  }
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result =
      Icu().strcollUTF8(collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                        static_cast<int32_t>(b.size()), &status);
  Check(status, "Text comparison failed: ");
  return static_cast<int>(result);
}

// UTF-16 of a UTF-8 text, ill-formed bytes as U+FFFD.
std::u16string FromUtf8Text(std::string_view text) {
  const icu_library::Functions& icu = Icu();
  std::u16string out(text.size(), u'\0');  // never more code units than bytes
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  icu.strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (status == U_STRING_NOT_TERMINATED_WARNING) status = U_ZERO_ERROR;
  Check(status, "Cannot convert a text from UTF-8: ");
  out.resize(static_cast<size_t>(length));
  return out;
}

std::string ToUtf8Text(const std::u16string& text) {
  const icu_library::Functions& icu = Icu();
  std::string out(text.size() * 3, '\0');  // at most 3 bytes per code unit
  int32_t length = 0;
  UErrorCode status = U_ZERO_ERROR;
  icu.strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
  if (status == U_STRING_NOT_TERMINATED_WARNING) status = U_ZERO_ERROR;
  Check(status, "Cannot convert a text to UTF-8: ");
  out.resize(static_cast<size_t>(length));
  return out;
}

// Case mapping of a UTF-16 text in the collation language (mappings may lengthen the text:
// "ß" becomes "SS").
template <typename Map>
std::u16string MapCase(const std::u16string& text, Map map) {
  const std::string language = CollationLanguage();
  std::u16string out(text.size() + 16, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = map(out.data(), static_cast<int32_t>(out.size()), text.data(),
                               static_cast<int32_t>(text.size()), language.c_str(), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR && attempt == 0) {
      out.resize(static_cast<size_t>(length));
      continue;
    }
    if (status == U_STRING_NOT_TERMINATED_WARNING) status = U_ZERO_ERROR;
    Check(status, "Cannot change the case of a text: ");
    out.resize(static_cast<size_t>(length));
    break;
  }
  return out;
}

// Byte comparison after `fold`; the result is the difference of the first unequal bytes
// (as unsigned values), or -1/1 when one text is a proper prefix of the other.
template <typename Fold>
int CompareBytes(std::string_view a, std::string_view b, Fold fold) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const int x = static_cast<unsigned char>(fold(a[i]));
    const int y = static_cast<unsigned char>(fold(b[i]));
    if (x != y) return x - y;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

void SetCollationLanguage(std::string_view language) {
  std::lock_guard lock(language_mutex);
  const std::string value = language.empty() ? std::string(kDefaultLanguage) : std::string(language);
  if (value == collation_language) return;
  collation_language = value;
  language_generation.fetch_add(1, std::memory_order_release);
}

std::string CollationLanguage() { return CurrentLanguage().language; }

uint64_t CollationGeneration() { return language_generation.load(std::memory_order_acquire); }

std::string AnsiUpperCase(std::string_view text) {
  return ToUtf8Text(MapCase(FromUtf8Text(text), Icu().strToUpper));
}

std::string AnsiLowerCase(std::string_view text) {
  return ToUtf8Text(MapCase(FromUtf8Text(text), Icu().strToLower));
}

int AnsiCompareText(std::string_view a, std::string_view b) { return CollatorCompare(a, b, true); }

int AnsiCompareStr(std::string_view a, std::string_view b) { return CollatorCompare(a, b, false); }

bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

std::string CollationKey(std::string_view text, bool ignore_case) {
  const std::u16string value = FromUtf8Text(text);
  UCollator* collator = CollatorFor(ignore_case);
  const auto get_key = Icu().getSortKey;
  std::vector<uint8_t> key(64 + value.size() * 4);
  int32_t length = get_key(collator, value.data(), static_cast<int32_t>(value.size()), key.data(),
                           static_cast<int32_t>(key.size()));
  if (length > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<size_t>(length));
    length = get_key(collator, value.data(), static_cast<int32_t>(value.size()), key.data(),
                     length);
  }
  if (length <= 0) throw Exception("Cannot make the collation key of a text");
  // ICU terminates the key with a zero byte that occurs nowhere else; without it, memcmp
  // with the shorter-first tie break orders keys the same way.
  return std::string(reinterpret_cast<const char*>(key.data()), static_cast<size_t>(length - 1));
}

std::string UpperCase(std::string_view text) { return AsciiUpper(text); }

std::string LowerCase(std::string_view text) { return AsciiLower(text); }

// Letters fold to upper case, so '_' (0x5F) sorts after every letter.
int CompareText(std::string_view a, std::string_view b) {
  return CompareBytes(a, b, [](char c) { return AsciiUpper(c); });
}

int CompareStr(std::string_view a, std::string_view b) {
  return CompareBytes(a, b, [](char c) { return c; });
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

}  // namespace lgoty::core
