// Views of index tree pages (layouts in dbf/index_format.h) and the page store a tree reads
// and writes them through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "core/byte_codec.h"
#include "dbf/index_format.h"

namespace lgoty::dbf {

// Sizes of the pages of one tag.
struct TPageLayout {
  TIndexFormat format = TIndexFormat::ifMdx;
  size_t page_size = 0;
  size_t page_header = 0;
  size_t key_offset = 0;  // from the start of an entry
  size_t entry_length = 0;
  size_t key_length = 0;
  size_t max_entries = 0;

  static TPageLayout For(TIndexFormat format, size_t key_length, size_t entry_length,
                         size_t max_entries);
  // Keys a leaf may hold, and keys an inner page may hold (it also needs the pointer after
  // its last key, which must fit in an entry slot of the page).
  size_t LeafCapacity() const { return max_entries; }
  size_t InnerCapacity() const { return max_entries - 1; }
  size_t EntryOffset(size_t i) const { return page_header + i * entry_length; }
};

// A page in memory. REQUIRES: bytes.size() == layout.page_size; the layout outlives the view.
// Callers check Count() against the layout (CountFits) before reading entries of a page that
// came from a file.
class TPageView {
 public:
  TPageView(std::span<std::byte> bytes, const TPageLayout& layout)
      : p_(bytes.data()), l_(&layout) {}

  uint32_t Count() const { return core::GetU32LE(p_); }
  void SetCount(uint32_t n) { core::PutU32LE(p_, n); }
  // Whether the key count leaves room for the entries it implies (and the extra pointer of an
  // inner page).
  bool CountFits() const;
  bool IsInner() const;

  uint32_t Child(size_t i) const { return core::GetU32LE(p_ + l_->EntryOffset(i)); }
  uint32_t Recno(size_t i) const {
    return core::GetU32LE(p_ + l_->EntryOffset(i) + (l_->format == TIndexFormat::ifNdx ? 4 : 0));
  }
  // Sets entry i as an inner entry pointing to child (NDX: record number 0).
  void SetChild(size_t i, uint32_t child);
  // Sets entry i as a leaf entry of record n (NDX: child page 0).
  void SetRecno(size_t i, uint32_t n);
  const std::byte* Key(size_t i) const { return p_ + l_->EntryOffset(i) + l_->key_offset; }
  std::byte* Key(size_t i) { return p_ + l_->EntryOffset(i) + l_->key_offset; }
  void SetKey(size_t i, const std::byte* key) { std::memcpy(Key(i), key, l_->key_length); }
  void ClearKey(size_t i) { std::memset(Key(i), 0, l_->key_length); }

  // Moves entries [from, from + count) to start at entry to (overlap allowed).
  void MoveEntries(size_t from, size_t to, size_t count);
  // Copies count entries starting at from of other to entry to of this page.
  void CopyEntries(const TPageView& other, size_t from, size_t to, size_t count);
  // Zeroes every byte from entry i (or from its key when keep_pointer) to the page end.
  void ClearFrom(size_t i, bool keep_pointer);
  void Clear() { std::memset(p_, 0, l_->page_size); }
  std::byte* Data() { return p_; }

 private:
  std::byte* p_;
  const TPageLayout* l_;
};

// Where a tree gets its pages. Page numbers are the file's (units in MDX, pages in NDX).
class TIndexPageStore {
 public:
  virtual ~TIndexPageStore() = default;
  // The bytes of page n (page size long), valid until the store is told to forget its pages.
  // Throws EDbfError when the page is not in the file.
  virtual std::span<std::byte> Page(uint32_t n) = 0;
  // Page n is about to change: it is locked in shared mode and written back at the end of
  // the operation.
  virtual void Touch(uint32_t n) = 0;
  // A new zeroed page, already touched.
  virtual uint32_t AllocatePage() = 0;
  // The name that damage of the pages is reported under (the file name, without folder).
  virtual std::string StoreName() const = 0;
};

}  // namespace lgoty::dbf
