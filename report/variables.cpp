#include "report/variables.h"

#include <cstdint>
#include <cstring>

#include "core/ascii_text.h"
#include "core/locale.h"

namespace lgoty::report {

// Eight bytes at a time: expressions ask for long texts (whole IIF calls) too.
bool IsAsciiName(std::string_view s) {
  constexpr uint64_t kHighBits = 0x8080808080808080ull;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= s.size(); i += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, s.data() + i, sizeof word);
    if (word & kHighBits) return false;
  }
  for (; i < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
  }
  return true;
}

namespace {

bool IsAscii(std::string_view s) { return IsAsciiName(s); }

}  // namespace

bool SameVariableName(std::string_view a, std::string_view b) {
  // An ASCII name equals only an ASCII name of the same length, letter case aside: no need
  // to classify the other, as a byte past ASCII in it never matches a letter of this one.
  if (IsAscii(a)) {
    return a.size() == b.size() && (a == b || core::AsciiSameText(a, b));
  }
  // A name with letters beyond ASCII never equals a pure ASCII one: case folding keeps
  // non-ASCII letters non-ASCII for the scripts these registers use (Latin, Cyrillic).
  if (IsAscii(b)) return false;
  return core::AnsiSameText(a, b);
}

int TfrxVariables::IndexOf(std::string_view name, bool ascii, int from) const {
  const size_t first = from < 0 ? 0 : static_cast<size_t>(from);
  // Expressions ask for every name they meet, most of which are no variable: an ASCII name
  // (the common case) equals only a name of its own length, so the lengths are compared
  // first and the letters only where they agree.
  if (ascii) {
    for (size_t i = first; i < items_->size(); ++i) {
      const std::string& item = (*items_)[i]->Name();
      if (item.size() == name.size() && (item == name || core::AsciiSameText(item, name))) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  for (size_t i = first; i < items_->size(); ++i) {
    if (SameVariableName((*items_)[i]->Name(), name)) return static_cast<int>(i);
  }
  return -1;
}

TfrxVariable* TfrxVariables::Find(std::string_view name, bool ascii) const {
  int i = IndexOf(name, ascii);
  return i < 0 ? nullptr : (*items_)[static_cast<size_t>(i)].get();
}

core::Variant TfrxVariables::Get(std::string_view name) const {
  const TfrxVariable* v = Find(name);
  return v == nullptr ? core::Variant::Null() : v->value;
}

void TfrxVariables::Set(std::string_view name, const core::Variant& value) {
  if (TfrxVariable* v = Find(name)) {
    v->value = value;
    return;
  }
  auto entry = std::make_unique<TfrxVariable>();
  entry->SetName(std::string(name));
  entry->value = value;
  items_->push_back(std::move(entry));
  set_count_.store(items_->size(), std::memory_order_release);
}

void TfrxVariables::Clear() {
  items_->clear();
  set_count_.store(0, std::memory_order_release);
}

TfrxVariables& frxGlobalVariables() {
  static TfrxVariables globals;
  return globals;
}

std::mutex& GlobalVariablesLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace lgoty::report
