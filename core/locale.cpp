#include "core/locale.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/ascii_text.h"
#include "core/exception.h"

namespace lgoty::core {
namespace {

constexpr const char* kDefaultLanguage = "ru";

// The collation language and a generation number that changes with it, so that each
// thread can tell that its cached collators are stale.
std::mutex language_mutex;
std::string collation_language = kDefaultLanguage;
uint64_t language_generation = 0;

struct LanguageSnapshot {
  std::string language;
  uint64_t generation;
};

LanguageSnapshot CurrentLanguage() {
  std::lock_guard lock(language_mutex);
  return {collation_language, language_generation};
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
  std::unique_ptr<icu::Collator> Clone(const std::string& language, bool ignore_case) {
    std::lock_guard lock(mutex_);
    auto it = prototypes_.find(language);
    if (it == prototypes_.end()) {
      UErrorCode status = U_ZERO_ERROR;
      std::unique_ptr<icu::Collator> collator(
          icu::Collator::createInstance(icu::Locale(language.c_str()), status));
      if (U_FAILURE(status) || collator == nullptr) {
        throw Exception("Cannot open the collation of language \"" + language + "\": " +
                        u_errorName(status));
      }
      it = prototypes_.emplace(language, std::move(collator)).first;
    }
    std::unique_ptr<icu::Collator> clone(it->second->clone());
    if (clone == nullptr) throw Exception("Out of memory cloning a collator");
    clone->setStrength(ignore_case ? icu::Collator::SECONDARY : icu::Collator::IDENTICAL);
    return clone;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<icu::Collator>> prototypes_;
};

CollatorPrototypes& Prototypes() {
  static CollatorPrototypes prototypes;
  return prototypes;
}

// This thread's collators for the current language.
struct ThreadCollators {
  uint64_t generation = UINT64_MAX;
  std::unique_ptr<icu::Collator> ignore_case;
  std::unique_ptr<icu::Collator> respect_case;
};

icu::Collator& CollatorFor(bool ignore_case) {
  thread_local ThreadCollators collators;
  const LanguageSnapshot current = CurrentLanguage();
  if (collators.generation != current.generation) {
    collators.ignore_case.reset();
    collators.respect_case.reset();
    collators.generation = current.generation;
  }
  std::unique_ptr<icu::Collator>& slot = ignore_case ? collators.ignore_case : collators.respect_case;
  if (slot == nullptr) slot = Prototypes().Clone(current.language, ignore_case);
  return *slot;
}

int CollatorCompare(std::string_view a, std::string_view b, bool ignore_case) {
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result = CollatorFor(ignore_case).compareUTF8(
      icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
      icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_FAILURE(status)) throw Exception(std::string("Text comparison failed: ") + u_errorName(status));
  return static_cast<int>(result);
}

icu::UnicodeString FromUtf8Text(std::string_view text) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string ToUtf8Text(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
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
  ++language_generation;
}

std::string CollationLanguage() { return CurrentLanguage().language; }

std::string AnsiUpperCase(std::string_view text) {
  icu::UnicodeString value = FromUtf8Text(text);
  value.toUpper(icu::Locale(CollationLanguage().c_str()));
  return ToUtf8Text(value);
}

std::string AnsiLowerCase(std::string_view text) {
  icu::UnicodeString value = FromUtf8Text(text);
  value.toLower(icu::Locale(CollationLanguage().c_str()));
  return ToUtf8Text(value);
}

int AnsiCompareText(std::string_view a, std::string_view b) { return CollatorCompare(a, b, true); }

int AnsiCompareStr(std::string_view a, std::string_view b) { return CollatorCompare(a, b, false); }

bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiCompareText(a, b) == 0; }

std::string CollationKey(std::string_view text, bool ignore_case) {
  const icu::UnicodeString value = FromUtf8Text(text);
  icu::Collator& collator = CollatorFor(ignore_case);
  std::vector<uint8_t> key(64 + static_cast<size_t>(value.length()) * 4);
  int32_t length = collator.getSortKey(value, key.data(), static_cast<int32_t>(key.size()));
  if (length > static_cast<int32_t>(key.size())) {
    key.resize(static_cast<size_t>(length));
    length = collator.getSortKey(value, key.data(), length);
  }
  if (length <= 0) throw Exception("Cannot make the collation key of a text");
  // ICU terminates the key with a zero byte that occurs nowhere else; without it, memcmp
  // with the shorter-first tie break orders keys the same way.
  return std::string(reinterpret_cast<const char*>(key.data()), static_cast<size_t>(length - 1));
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

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
