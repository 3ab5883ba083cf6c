#include "data/field_defs.h"

#include "core/ascii_text.h"
#include "core/exception.h"
#include "core/locale.h"
#include "data/database_error.h"

namespace lgoty::data {

bool SameFieldName(std::string_view a, std::string_view b) {
  if (a.size() == b.size()) {
    bool ascii = true;
    for (size_t i = 0; i < a.size(); ++i) {
      if (static_cast<unsigned char>(a[i]) >= 0x80 || static_cast<unsigned char>(b[i]) >= 0x80) {
        ascii = false;
        break;
      }
      if (core::AsciiUpper(a[i]) != core::AsciiUpper(b[i])) return false;
    }
    if (ascii) return true;
  }
  // Texts of different byte lengths can still be equal ignoring case outside ASCII.
  for (char c : a) {
    if (static_cast<unsigned char>(c) >= 0x80) return core::AnsiSameText(a, b);
  }
  for (char c : b) {
    if (static_cast<unsigned char>(c) >= 0x80) return core::AnsiSameText(a, b);
  }
  return false;
}

TFieldDef& TFieldDefs::Items(int index) {
  if (index < 0 || index >= Count()) {
    throw core::EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return *items_[static_cast<size_t>(index)];
}

const TFieldDef& TFieldDefs::Items(int index) const {
  return const_cast<TFieldDefs*>(this)->Items(index);
}

TFieldDef& TFieldDefs::Add(std::string name, TFieldType data_type, int size, bool required) {
  if (IndexOf(name) >= 0) throw EDatabaseError(DuplicateFieldText(name));
  items_.push_back(std::make_unique<TFieldDef>(std::move(name), data_type, size, Count() + 1));
  items_.back()->Attributes().Required = required;
  return *items_.back();
}

int TFieldDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameFieldName(items_[i]->Name(), name)) return static_cast<int>(i);
  }
  return -1;
}

TFieldDef* TFieldDefs::Find(std::string_view name) {
  int index = IndexOf(name);
  return index < 0 ? nullptr : items_[static_cast<size_t>(index)].get();
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
  return const_cast<TFieldDefs*>(this)->Find(name);
}

}  // namespace lgoty::data
