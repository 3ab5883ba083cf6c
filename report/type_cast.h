// CachedCast: dynamic_cast for the hot paths of drawing and rebuilding pages, where the
// same few classes are cast again and again. A dynamic_cast walks the class chain and may
// compare type names at each step; here the answer for an object's exact class (whether
// it is a To, and where the To part lies in it) is kept after the first cast, and later
// objects of that class get it from a small per-thread table. For one most-derived class
// the offset of a base part is always the same, so the answer holds for every object of it.
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>
#include <typeinfo>

namespace lgoty::report {

namespace type_cast_detail {

struct Entry {
  const std::type_info* type = nullptr;  // nullptr: empty
  std::ptrdiff_t offset = 0;
  bool is_a = false;
};

// Classes of an object remembered per cast (To, From) and thread, replaced round robin.
constexpr size_t kEntries = 8;

template <class To, class From>
struct Table {
  std::array<Entry, kEntries> entries{};
  size_t next = 0;
};

}  // namespace type_cast_detail

// The same result as dynamic_cast<To*>(from); from may be null.
template <class To, class From>
To* CachedCast(From* from) {
  static_assert(std::is_polymorphic_v<std::remove_cv_t<From>>);
  if (!from) return nullptr;
  using Bare = std::remove_cv_t<From>;
  using Target = std::conditional_t<std::is_const_v<From>, const To, To>;
  thread_local type_cast_detail::Table<std::remove_cv_t<To>, Bare> table;
  const std::type_info* type = &typeid(*from);
  using Byte = std::conditional_t<std::is_const_v<From>, const char, char>;
  for (const type_cast_detail::Entry& entry : table.entries) {
    // Compared by address: a class with two type records is only looked up twice.
    if (entry.type == type) {
      if (!entry.is_a) return nullptr;
      return reinterpret_cast<Target*>(reinterpret_cast<Byte*>(from) + entry.offset);
    }
  }
  Target* cast = dynamic_cast<Target*>(from);
  type_cast_detail::Entry& entry = table.entries[table.next];
  table.next = (table.next + 1) % type_cast_detail::kEntries;
  entry.type = type;
  entry.is_a = cast != nullptr;
  entry.offset = cast ? reinterpret_cast<Byte*>(cast) - reinterpret_cast<Byte*>(from) : 0;
  return cast;
}

}  // namespace lgoty::report
