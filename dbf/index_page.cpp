#include "dbf/index_page.h"

#include <algorithm>

namespace lgoty::dbf {

TPageLayout TPageLayout::For(TIndexFormat format, size_t key_length, size_t entry_length,
                             size_t max_entries) {
  const TIndexPageGeometry& g = PageGeometryOf(format);
  TPageLayout l;
  l.format = format;
  l.page_size = g.page_size;
  l.page_header = g.page_header;
  l.key_offset = g.pointer_part;
  l.entry_length = entry_length;
  l.key_length = key_length;
  l.max_entries = max_entries;
  return l;
}

bool TPageView::CountFits() const {
  const uint32_t n = Count();
  if (n > l_->max_entries) return false;
  // Entry n's pointer (first 4 bytes) must lie inside the page when the page is inner; a
  // leaf only needs its n entries.
  const size_t end_of_keys = l_->EntryOffset(n);
  if (end_of_keys > l_->page_size) return false;
  // An inner page also needs the pointer after its last key.
  return !IsInner() || end_of_keys + 4 <= l_->page_size;
}

bool TPageView::IsInner() const {
  const uint32_t n = Count();
  if (l_->format == TIndexFormat::ifNdx) {
    return l_->EntryOffset(0) + 4 <= l_->page_size && Child(0) != 0;
  }
  if (n >= l_->max_entries || l_->EntryOffset(n) + 4 > l_->page_size) return false;
  return Child(n) != 0;
}

void TPageView::SetChild(size_t i, uint32_t child) {
  std::byte* e = p_ + l_->EntryOffset(i);
  core::PutU32LE(e, child);
  if (l_->format == TIndexFormat::ifNdx) core::PutU32LE(e + 4, 0);
}

void TPageView::SetRecno(size_t i, uint32_t n) {
  std::byte* e = p_ + l_->EntryOffset(i);
  if (l_->format == TIndexFormat::ifNdx) {
    core::PutU32LE(e, 0);
    core::PutU32LE(e + 4, n);
  } else {
    core::PutU32LE(e, n);
  }
}

namespace {
// Bytes of count entries from offsets a and b that lie inside the page. The pointer after the
// last key of an inner page may be the only part of its entry inside the page (a full page of
// another writer), so moves are clipped at the page end rather than trusted to fit.
size_t ClippedLength(const TPageLayout& l, size_t a, size_t b, size_t count) {
  const size_t end = std::max(a, b);
  if (end >= l.page_size) return 0;
  return std::min(count * l.entry_length, l.page_size - end);
}
}  // namespace

void TPageView::MoveEntries(size_t from, size_t to, size_t count) {
  if (count == 0 || from == to) return;
  const size_t a = l_->EntryOffset(from), b = l_->EntryOffset(to);
  std::memmove(p_ + b, p_ + a, ClippedLength(*l_, a, b, count));
}

void TPageView::CopyEntries(const TPageView& other, size_t from, size_t to, size_t count) {
  if (count == 0) return;
  const size_t a = l_->EntryOffset(from), b = l_->EntryOffset(to);
  std::memcpy(p_ + b, other.p_ + a, ClippedLength(*l_, a, b, count));
}

void TPageView::ClearFrom(size_t i, bool keep_pointer) {
  const size_t start = l_->EntryOffset(i) + (keep_pointer ? l_->key_offset : 0);
  if (start >= l_->page_size) return;
  std::memset(p_ + start, 0, l_->page_size - start);
}

}  // namespace lgoty::dbf
