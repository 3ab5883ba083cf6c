// Bulk build of a tag: every record's key is extracted, the keys are sorted, and the pages
// are filled bottom-up - full leaves first, then each inner level over the one below - and
// written in one pass. The tree is the one key-by-key insertion describes logically (the same
// keys in the same order, the same inner keys = greatest key below), only packed tighter.
#include <algorithm>
#include <cstring>

#include "core/byte_codec.h"
#include "dbf/dbf_file.h"
#include "dbf/index_file.h"
#include "dbf/mdx_format.h"

namespace lgoty::dbf {

namespace {

constexpr std::byte kDeletedFlag{'*'};
// Records read between two progress reports.
constexpr uint32_t kProgressStride = 16384;

// A key in the sort: the first eight bytes of its sort form as a number, the record's slot.
struct SortItem {
  uint64_t prefix;
  uint32_t slot;
};

}  // namespace

void TIndexFile::BuildTag(TIndexTag& tag) {
  const size_t key_length = tag.KeyLength();
  const TPageLayout& layout = tag.Layout();
  const TIndexPageGeometry& g = PageGeometryOf(format_);
  // Work units: one per record read, then half as many for the sort and as many again for
  // the pages (the read dominates; the rest is weighted so the bar keeps moving).
  const uint32_t count = table_.RecordCount();
  const uint64_t read_units = count;
  const uint64_t sorted_units = read_units + read_units / 2;
  const uint64_t all_units = read_units * 2;
  auto report = [&](uint64_t done) {
    if (on_build_progress_) on_build_progress_(done, all_units);
  };
  report(0);

  // 1. Keys of the records, in physical order.
  std::vector<std::byte> keys;
  std::vector<uint32_t> recnos;
  {
    std::vector<std::byte> record(table_.RecordSize());
    recnos.reserve(count);
    // A key that is a character field as it stands is the field's bytes: copied directly,
    // without running the expression.
    const TDbfFieldDef* field = table_.FieldDefs().Find(tag.Header().expression);
    const bool raw_field = field != nullptr && !tag.NumericKeys() &&
                           field->NativeFieldType() == 'C' &&
                           static_cast<size_t>(field->Size()) == key_length &&
                           static_cast<size_t>(field->Offset()) + key_length <= record.size();
    keys.resize(size_t{count} * key_length);
    size_t filled = 0;
    for (uint32_t n = 1; n <= count; ++n) {
      if (n % kProgressStride == 0) report(n);
      if (table_.ReadRecord(n, record) < record.size()) break;
      if (tag.Kind() == TIndexKind::ikDistinct && record[0] == kDeletedFlag) continue;
      const std::byte* key =
          raw_field ? record.data() + field->Offset() : tag.KeyOf(record).data();
      std::memcpy(keys.data() + filled, key, key_length);
      filled += key_length;
      recnos.push_back(n);
    }
    keys.resize(filled);
  }
  const size_t total = recnos.size();

  // 2. Sort. Character keys are compared as sort forms (weights, inverted when descending)
  // by a number prefix and memcmp; numeric keys through the tag's comparison. Equal keys keep
  // record order (slots ascend with record numbers).
  std::vector<uint32_t> order(total);
  if (!tag.NumericKeys()) {
    // Plain byte order ascending: the keys are their own sort forms.
    const bool identity = tag.PlainOrder() && !tag.Descending();
    std::vector<std::byte> own_forms;
    if (!identity) {
      own_forms.resize(keys.size());
      const TCollationWeights& w = tag.PlainOrder() ? PlainByteOrder() : *weights_;
      for (size_t i = 0; i < keys.size(); ++i) {
        uint8_t v = w[static_cast<uint8_t>(keys[i])];
        if (tag.Descending()) v = static_cast<uint8_t>(255 - v);
        own_forms[i] = static_cast<std::byte>(v);
      }
    }
    const std::vector<std::byte>& forms = identity ? keys : own_forms;
    std::vector<SortItem> items(total);
    for (size_t i = 0; i < total; ++i) {
      uint64_t prefix = 0;
      const std::byte* f = forms.data() + i * key_length;
      for (size_t b = 0; b < 8; ++b)
        prefix = (prefix << 8) | (b < key_length ? static_cast<uint8_t>(f[b]) : 0);
      items[i] = {prefix, static_cast<uint32_t>(i)};
    }
    const size_t rest = key_length > 8 ? key_length - 8 : 0;
    std::sort(items.begin(), items.end(), [&](const SortItem& a, const SortItem& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      if (rest) {
        const int c = std::memcmp(forms.data() + size_t{a.slot} * key_length + 8,
                                  forms.data() + size_t{b.slot} * key_length + 8, rest);
        if (c != 0) return c < 0;
      }
      return a.slot < b.slot;
    });
    for (size_t i = 0; i < total; ++i) order[i] = items[i].slot;
  } else {
    for (size_t i = 0; i < total; ++i) order[i] = static_cast<uint32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
      return tag.Compare(keys.data() + size_t{a} * key_length,
                         keys.data() + size_t{b} * key_length, key_length) < 0;
    });
  }
  report(sorted_units);

  // 3. Unique tags keep the first record of a key; distinct tags refuse a second one.
  if (tag.Kind() != TIndexKind::ikNone && total > 1) {
    size_t kept = 1;
    for (size_t i = 1; i < total; ++i) {
      const std::byte* prev = keys.data() + size_t{order[kept - 1]} * key_length;
      const std::byte* cur = keys.data() + size_t{order[i]} * key_length;
      if (std::memcmp(prev, cur, key_length) == 0) {
        if (tag.Kind() == TIndexKind::ikDistinct)
          throw EDbfKeyViolation(KeyViolationMessage(
              IndexNameFor(tag), recnos[order[kept - 1]],
              KeyText(tag, std::span<const std::byte>(cur, key_length))));
        continue;
      }
      order[kept++] = order[i];
    }
    order.resize(kept);
  }
  const size_t entries = order.size();

  // 4. Pages, bottom-up, numbered from the next free page.
  uint32_t next = IsMdx() ? core::GetU32LE(header_, mdx::kNextFreeUnitOffset)
                          : std::max<uint32_t>(tag.Header().page_count, 1);
  if (next < FirstPage()) next = FirstPage();
  const uint32_t first = next;
  std::vector<std::byte> out;
  auto new_page = [&]() -> TPageView {
    out.resize(out.size() + g.page_size);
    next += static_cast<uint32_t>(g.units);
    return TPageView(std::span<std::byte>(out.data() + out.size() - g.page_size, g.page_size),
                     layout);
  };
  struct Child {
    uint32_t page;
    size_t greatest;  // slot of the greatest key below
  };
  std::vector<Child> level;
  {
    const size_t per_leaf = layout.LeafCapacity();
    size_t i = 0;
    do {
      const uint32_t page = next;
      TPageView leaf = new_page();
      const size_t n = std::min(per_leaf, entries - i);
      for (size_t k = 0; k < n; ++k) {
        const uint32_t slot = order[i + k];
        leaf.SetRecno(k, recnos[slot]);
        leaf.SetKey(k, keys.data() + size_t{slot} * key_length);
      }
      leaf.SetCount(static_cast<uint32_t>(n));
      level.push_back({page, n ? order[i + n - 1] : 0});
      i += n;
    } while (i < entries);
  }
  while (level.size() > 1) {
    std::vector<Child> upper;
    const size_t per_inner = layout.InnerCapacity() + 1;  // children per inner page
    for (size_t i = 0; i < level.size();) {
      size_t n = std::min(per_inner, level.size() - i);
      // Never leave a lone child for the last page when it can share the one before.
      if (level.size() - i - n == 1 && n > 2) --n;
      const uint32_t page = next;
      TPageView inner = new_page();
      for (size_t k = 0; k < n; ++k) {
        inner.SetChild(k, level[i + k].page);
        if (k + 1 < n) inner.SetKey(k, keys.data() + size_t{level[i + k].greatest} * key_length);
      }
      inner.SetCount(static_cast<uint32_t>(n - 1));
      upper.push_back({page, level[i + n - 1].greatest});
      i += n;
    }
    level = std::move(upper);
  }
  const uint32_t root = level.front().page;

  // 5. Write the pages, then the tag header that points at them.
  WriteAt(uint64_t{first} * kIndexUnitSize, out);
  end_of_file_ = std::max<uint64_t>(end_of_file_, uint64_t{next} * kIndexUnitSize);
  TTagHeader& h = tag.MutableHeader();
  h.root = root;
  if (IsMdx()) {
    core::PutU32LE(header_, mdx::kNextFreeUnitOffset, next);
    header_dirty_ = true;
  } else {
    h.page_count = next;
  }
  WriteTagHeader(tag);
  if (header_dirty_) WriteMdxHeader();
  for (uint32_t n = first; n < next; n += static_cast<uint32_t>(g.units)) cache_.erase(n);
  tag.InvalidatePath();
  if (WriteError()) throw EDbfWriteError(kWriteError);
  report(all_units);
}

}  // namespace lgoty::dbf
