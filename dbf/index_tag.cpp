#include "dbf/index_tag.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/byte_codec.h"
#include "dbf/dbf_errors.h"
#include "dbf/dbf_parser.h"
#include "dbf/index_errors.h"
#include "dbf/index_keys.h"

namespace lgoty::dbf {

namespace th = tag_header;

// Only a damaged file has empty leaves besides an empty root; a walk that meets this many in
// a row (pages shared by many parents can make it endless in effect) gives up.
constexpr size_t kMaxEmptyLeaves = 100000;

// ---- tag header ---------------------------------------------------------------------------

TTagHeader TTagHeader::Read(std::span<const std::byte> block, TIndexFormat format,
                            const std::string& file_name) {
  const TIndexPageGeometry& g = PageGeometryOf(format);
  if (block.size() < th::kSize) ThrowDamagedIndex(file_name, "the tag header is cut short");
  TTagHeader h;
  h.root = core::GetU32LE(block, th::kRootOffset);
  h.page_count = core::GetU32LE(block, th::kPageCountOffset);
  h.key_flags = core::GetU8(block, th::kKeyFlagsOffset);
  h.key_length = core::GetU16LE(block, th::kKeyLengthOffset);
  h.max_entries = core::GetU16LE(block, th::kMaxEntriesOffset);
  h.entry_length = core::GetU16LE(block, th::kEntryLengthOffset);
  h.uniqueness = core::GetU8(block, th::kUniquenessOffset);
  if (format == TIndexFormat::ifNdx) {
    // Writers disagree on byte 9; the numeric flag at 16 is what every NDX reader goes by.
    h.key_type = core::GetU16LE(block, th::kNumericFlagOffset) == 1 ? 'N' : 'C';
  } else {
    h.key_type = static_cast<char>(core::GetU8(block, th::kKeyTypeOffset));
    if (h.key_type != 'C' && h.key_type != 'N')
      ThrowDamagedIndex(file_name,
                        "unsupported key type " + std::to_string(static_cast<int>(h.key_type)));
  }
  const size_t numeric_length =
      format == TIndexFormat::ifMdx ? kMdxNumericKeyLength : kNdxNumericKeyLength;
  if (h.key_type == 'N' ? h.key_length != numeric_length
                        : (h.key_length == 0 || h.key_length > kMaxCharacterKeyLength))
    ThrowDamagedIndex(file_name, "key length " + std::to_string(h.key_length));
  if (h.entry_length < h.key_length + g.pointer_part ||
      h.entry_length > g.page_size - g.page_header)
    ThrowDamagedIndex(file_name, "entry length " + std::to_string(h.entry_length));
  if (h.max_entries < 3 || g.page_header + size_t{h.max_entries} * h.entry_length > g.page_size)
    ThrowDamagedIndex(file_name, "entries per page " + std::to_string(h.max_entries));
  const auto* text = reinterpret_cast<const char*>(block.data() + th::kExpressionOffset);
  h.expression.assign(text, strnlen(text, th::kExpressionWidth));
  return h;
}

void TTagHeader::Write(std::span<std::byte> block, TIndexFormat format) const {
  std::fill(block.begin(), block.begin() + th::kSize, std::byte{0});
  core::PutU32LE(block, th::kRootOffset, root);
  const bool ndx = format == TIndexFormat::ifNdx;
  core::PutU32LE(block, th::kPageCountOffset, ndx ? page_count : 0);
  core::PutU8(block, th::kKeyFlagsOffset, ndx ? 0 : key_flags);
  core::PutU8(block, th::kKeyTypeOffset, static_cast<uint8_t>(key_type));
  core::PutU16LE(block, th::kNdxMagicOffset, ndx ? th::kNdxMagic : 0);
  core::PutU16LE(block, th::kKeyLengthOffset, key_length);
  core::PutU16LE(block, th::kMaxEntriesOffset, max_entries);
  core::PutU16LE(block, th::kNumericFlagOffset, ndx && key_type == 'N' ? 1 : 0);
  core::PutU16LE(block, th::kEntryLengthOffset, entry_length);
  core::PutU16LE(block, th::kConstant2Offset, 2);
  core::PutU8(block, th::kUniquenessOffset, uniqueness);
  const size_t n = std::min(expression.size(), th::kMaxExpressionLength);
  std::memcpy(block.data() + th::kExpressionOffset, expression.data(), n);
  core::PutU8(block, th::kConstant1Offset, 1);
}

TIndexKind TTagHeader::Kind(TIndexFormat format) const {
  if (uniqueness == th::kUniquenessDistinct) return TIndexKind::ikDistinct;
  if (uniqueness != 0) return TIndexKind::ikUnique;
  if (format == TIndexFormat::ifMdx) {
    if ((key_flags & th::kFlagDistinct) == th::kFlagDistinct) return TIndexKind::ikDistinct;
    if (key_flags & th::kFlagUnique) return TIndexKind::ikUnique;
  }
  return TIndexKind::ikNone;
}

bool TTagHeader::Descending(TIndexFormat format) const {
  return format == TIndexFormat::ifMdx && (key_flags & th::kFlagDescending) != 0;
}

// ---- tag ----------------------------------------------------------------------------------

TIndexTag::TIndexTag(TIndexFormat format, std::string name, uint32_t header_page,
                     TTagHeader header, TIndexPageStore& store)
    : format_(format),
      name_(std::move(name)),
      header_page_(header_page),
      header_(std::move(header)),
      store_(store) {
  layout_ = TPageLayout::For(format_, header_.key_length, header_.entry_length,
                             header_.max_entries);
  kind_ = header_.Kind(format_);
  descending_ = header_.Descending(format_);
  DecideKeyOrder();
  key_buffer_.resize(layout_.key_length);
  cur_key_.resize(layout_.key_length);
}

TIndexTag::~TIndexTag() = default;

void TIndexTag::HeaderReloaded(const TTagHeader& header) {
  header_.root = header.root;
  header_.page_count = header.page_count;
  path_valid_ = false;
}

void TIndexTag::SetParser(std::unique_ptr<TDbfIndexParser> parser) { parser_ = std::move(parser); }

void TIndexTag::DecideKeyOrder() {
  if (header_.key_type == 'N') {
    key_order_ = format_ == TIndexFormat::ifMdx ? TKeyOrder::MdxNumber : TKeyOrder::NdxNumber;
  } else {
    key_order_ = weights_ == nullptr ? TKeyOrder::PlainBytes : TKeyOrder::Collated;
  }
}

std::span<const std::byte> TIndexTag::KeyOf(std::span<const std::byte> record) {
  std::span<const std::byte> key = parser_->ExtractKeyFromRecord(record);
  const size_t n = std::min(key.size(), key_buffer_.size());
  std::memcpy(key_buffer_.data(), key.data(), n);
  // A shorter key is filled up: blank for text, zero for numbers.
  std::fill(key_buffer_.begin() + static_cast<std::ptrdiff_t>(n), key_buffer_.end(),
            NumericKeys() ? std::byte{0} : std::byte{' '});
  return key_buffer_;
}

int TIndexTag::Compare(const std::byte* a, const std::byte* b, size_t n) const {
  if (n == 0) return 0;  // the empty prefix matches every key
  int r = 0;
  const size_t len = layout_.key_length;
  switch (key_order_) {
    case TKeyOrder::MdxNumber:
      r = CompareMdxNumericKeys({a, len}, {b, len});
      break;
    case TKeyOrder::NdxNumber:
      r = CompareNdxNumericKeys({a, len}, {b, len});
      break;
    case TKeyOrder::PlainBytes:
      r = std::memcmp(a, b, n);
      break;
    case TKeyOrder::Collated: {
      const TCollationWeights& w = *weights_;
      for (size_t i = 0; i < n; ++i) {
        const int wa = w[static_cast<uint8_t>(a[i])], wb = w[static_cast<uint8_t>(b[i])];
        if (wa != wb) {
          r = wa - wb;
          break;
        }
      }
      break;
    }
  }
  r = r < 0 ? -1 : (r > 0 ? 1 : 0);
  return descending_ ? -r : r;
}

void TIndexTag::Damaged(const std::string& what) const {
  ThrowDamagedIndex(store_.StoreName(), what);
}

void TIndexTag::TooDeep() const {
  Damaged("the tree is deeper than " + std::to_string(kMaxTreeDepth) + " levels");
}

TPageView TIndexTag::LoadPage(uint32_t n) {
  TPageView view(store_.Page(n), layout_);
  if (!view.CountFits())
    Damaged("page " + std::to_string(n) + " claims " + std::to_string(view.Count()) +
            " keys");
  return view;
}

void TIndexTag::CheckChangedPage(uint32_t n) {
  TPageView v = LoadPage(n);
  const size_t count = v.Count();
  const bool inner = v.IsInner();
  bool ok = count <= (inner ? layout_.InnerCapacity() : layout_.LeafCapacity());
  for (size_t i = 0; ok && i + 1 < count; ++i) {
    const int c = Compare(v.Key(i), v.Key(i + 1), layout_.key_length);
    ok = c < 0 || (c == 0 && (inner || (kind_ == TIndexKind::ikNone && v.Recno(i) < v.Recno(i + 1))));
  }
  for (size_t i = 0; ok && inner && i <= count; ++i) ok = v.Child(i) != 0;
  if (!ok) throw EDbfError(kAssertionFailure);
}

bool TIndexTag::IsFull(TPageView& page) {
  return page.IsInner() ? page.Count() >= layout_.InnerCapacity()
                        : page.Count() >= layout_.LeafCapacity();
}

// ---- descent ------------------------------------------------------------------------------

uint32_t TIndexTag::GreatestRecno(uint32_t page) {
  for (size_t depth = 0; depth < kMaxTreeDepth; ++depth) {
    TPageView v = LoadPage(page);
    if (!v.IsInner()) return v.Count() == 0 ? 0 : v.Recno(v.Count() - 1);
    page = v.Child(v.Count());
  }
  TooDeep();
}

void TIndexTag::GreatestKey(uint32_t page, std::vector<std::byte>& key) {
  for (size_t depth = 0; depth < kMaxTreeDepth; ++depth) {
    TPageView v = LoadPage(page);
    if (!v.IsInner()) {
      key.assign(layout_.key_length, std::byte{0});
      if (v.Count() > 0) std::memcpy(key.data(), v.Key(v.Count() - 1), layout_.key_length);
      return;
    }
    page = v.Child(v.Count());
  }
  TooDeep();
}

size_t TIndexTag::ChooseChild(TPageView& page, const std::byte* key, size_t n, uint32_t recno) {
  // The first child whose greatest entry is not less than (key, recno). Inner entries carry
  // no record numbers: on an equal key the child's greatest record number is looked up.
  size_t lo = 0, hi = page.Count();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    int c = Compare(key, page.Key(mid), n);
    bool goes_left;
    if (c != 0) {
      goes_left = c < 0;
    } else if (recno == kBeforeAll) {
      goes_left = true;
    } else if (recno == kAfterAll || n < layout_.key_length) {
      goes_left = false;
    } else {
      goes_left = recno <= GreatestRecno(page.Child(mid));
    }
    if (goes_left) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

size_t TIndexTag::LeafLowerBound(TPageView& page, const std::byte* key, size_t n, uint32_t recno) {
  size_t lo = 0, hi = page.Count();
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    int c = Compare(key, page.Key(mid), n);
    bool before;
    if (c != 0) before = c < 0;
    else if (recno == kBeforeAll) before = true;
    else if (recno == kAfterAll) before = false;
    else before = recno <= page.Recno(mid);
    if (before) hi = mid;
    else lo = mid + 1;
  }
  return lo;
}

void TIndexTag::Descend(const std::byte* key, size_t n, uint32_t recno, std::vector<Step>& path) {
  path.clear();
  uint32_t page = header_.root;
  for (;;) {
    if (path.size() >= kMaxTreeDepth)
      TooDeep();
    TPageView v = LoadPage(page);
    if (!v.IsInner()) {
      path.push_back({page, LeafLowerBound(v, key, n, recno)});
      return;
    }
    const size_t i = ChooseChild(v, key, n, recno);
    path.push_back({page, i});
    page = v.Child(i);
  }
}

void TIndexTag::DescendEdge(std::vector<Step>& path, bool rightmost) {
  // path.back() is an inner page whose index names the child to enter.
  for (;;) {
    if (path.size() >= kMaxTreeDepth)
      TooDeep();
    TPageView parent = LoadPage(path.back().page);
    const uint32_t child = parent.Child(path.back().index);
    TPageView v = LoadPage(child);
    if (!v.IsInner()) {
      path.push_back({child, rightmost ? (v.Count() == 0 ? 0 : v.Count() - 1) : 0});
      return;
    }
    path.push_back({child, rightmost ? v.Count() : 0});
  }
}

bool TIndexTag::StepForward(std::vector<Step>& path) {
  if (path.empty()) return false;
  ++path.back().index;
  return Normalize(path);
}

bool TIndexTag::Normalize(std::vector<Step>& path) {
  // Loops over empty leaves of damaged files too; each turn moves right, so it ends.
  for (size_t guard = 0;; ++guard) {
    TPageView leaf = LoadPage(path.back().page);
    if (path.back().index < leaf.Count()) return true;
    path.pop_back();
    while (!path.empty()) {
      TPageView v = LoadPage(path.back().page);
      if (path.back().index < v.Count()) break;
      path.pop_back();
    }
    if (path.empty()) return false;
    ++path.back().index;
    DescendEdge(path, false);
    if (guard > kMaxEmptyLeaves) Damaged("too many empty leaves in a row");
  }
}

bool TIndexTag::StepBackward(std::vector<Step>& path) {
  if (path.empty()) return false;
  for (size_t guard = 0;; ++guard) {
    if (guard > kMaxEmptyLeaves) Damaged("too many empty leaves in a row");
    if (path.back().index > 0) {
      --path.back().index;
      TPageView leaf = LoadPage(path.back().page);
      if (path.back().index < leaf.Count()) return true;
    }
    path.pop_back();
    while (!path.empty() && path.back().index == 0) path.pop_back();
    if (path.empty()) return false;
    --path.back().index;
    DescendEdge(path, true);
    TPageView leaf = LoadPage(path.back().page);
    if (leaf.Count() > 0) return true;
    path.back().index = 0;  // empty leaf: step back again from its start
  }
}

// ---- changes ------------------------------------------------------------------------------

void TIndexTag::SplitChild(uint32_t parent_page, size_t i) {
  TPageView parent = LoadPage(parent_page);
  const uint32_t child_page = parent.Child(i);
  const uint32_t new_page = store_.AllocatePage();
  TPageView child = LoadPage(child_page);
  parent = LoadPage(parent_page);
  TPageView right(store_.Page(new_page), layout_);
  const size_t n = child.Count();
  // What a damaged file can make of the pages: the child is its own parent, the new page is
  // one of them, the child is too small to split or the parent has no room.
  // Each is damage of the file, reported as such (with the page) rather than as a fault of
  // this engine.
  if (child_page == parent_page || new_page == child_page || new_page == parent_page)
    Damaged("page " + std::to_string(child_page) + " is reached from itself");
  if (n < 2 || n > (child.IsInner() ? layout_.InnerCapacity() : layout_.LeafCapacity()))
    Damaged("page " + std::to_string(child_page) + " holds " + std::to_string(n) +
            " keys, which no split can divide");
  if (parent.Count() >= layout_.InnerCapacity() || !parent.IsInner())
    Damaged("page " + std::to_string(parent_page) + " has no room for a split below it");
  store_.Touch(parent_page);
  store_.Touch(child_page);
  std::vector<std::byte> up_key(layout_.key_length);
  if (!child.IsInner()) {
    const size_t keep = (n + 1) / 2;
    right.CopyEntries(child, keep, 0, n - keep);
    right.SetCount(static_cast<uint32_t>(n - keep));
    child.SetCount(static_cast<uint32_t>(keep));
    child.ClearFrom(keep, false);
    std::memcpy(up_key.data(), child.Key(keep - 1), layout_.key_length);
  } else {
    // Keys 0..m-1 and pointers 0..m stay; key m (the greatest below pointer m) goes up;
    // keys m+1..n-1 and pointers m+1..n move.
    const size_t m = n / 2;
    std::memcpy(up_key.data(), child.Key(m), layout_.key_length);
    right.CopyEntries(child, m + 1, 0, n - m);
    right.SetCount(static_cast<uint32_t>(n - m - 1));
    right.ClearFrom(n - m - 1, true);
    child.SetCount(static_cast<uint32_t>(m));
    child.ClearFrom(m, true);
  }
  const size_t pc = parent.Count();
  parent.MoveEntries(i, i + 1, pc - i + 1);
  parent.SetChild(i, child_page);
  parent.SetKey(i, up_key.data());
  parent.SetChild(i + 1, new_page);
  parent.SetCount(static_cast<uint32_t>(pc + 1));
  if (i == pc) parent.ClearFrom(pc + 1, true);
}

bool TIndexTag::Add(std::span<const std::byte> key, uint32_t recno, uint32_t* holder) {
  if (key.size() != layout_.key_length) throw EDbfError(kAssertionFailure);
  path_valid_ = false;
  std::vector<Step> path;
  // The entry may be there already: an appender that died after writing its keys left it
  // for the record number the next append takes. It is kept as the entry of the new record
  // instead of being doubled (and, in unique tags, instead of refusing the record's own key).
  Descend(key.data(), layout_.key_length, RecnoForSearch(recno), path);
  if (Normalize(path)) {
    TPageView leaf = LoadPage(path.back().page);
    if (Compare(key.data(), leaf.Key(path.back().index), layout_.key_length) == 0) {
      const uint32_t there = leaf.Recno(path.back().index);
      if (there == recno) return true;
      if (kind_ != TIndexKind::ikNone) {
        if (holder) *holder = there;
        return false;
      }
    }
  }
  {
    TPageView root = LoadPage(header_.root);
    if (IsFull(root)) {
      const uint32_t new_root = store_.AllocatePage();
      TPageView r(store_.Page(new_root), layout_);
      r.SetCount(0);
      r.SetChild(0, header_.root);
      header_.root = new_root;
      header_changed_ = true;
      SplitChild(new_root, 0);
    }
  }
  uint32_t page = header_.root;
  for (size_t depth = 0;; ++depth) {
    if (depth >= kMaxTreeDepth)
      TooDeep();
    TPageView v = LoadPage(page);
    if (!v.IsInner()) {
      const size_t pos = LeafLowerBound(v, key.data(), layout_.key_length, recno);
      if (v.Count() >= layout_.LeafCapacity())
        Damaged("page " + std::to_string(page) + " is fuller than its parent says");
      store_.Touch(page);
      v.MoveEntries(pos, pos + 1, v.Count() - pos);
      v.SetRecno(pos, recno);
      v.SetKey(pos, key.data());
      v.SetCount(v.Count() + 1);
      return true;
    }
    size_t i = ChooseChild(v, key.data(), layout_.key_length, recno);
    TPageView child = LoadPage(v.Child(i));
    if (IsFull(child)) {
      SplitChild(page, i);
      v = LoadPage(page);
      i = ChooseChild(v, key.data(), layout_.key_length, recno);
    }
    page = v.Child(i);
  }
}

bool TIndexTag::Remove(std::span<const std::byte> key, uint32_t recno) {
  if (key.size() != layout_.key_length) throw EDbfError(kAssertionFailure);
  path_valid_ = false;
  std::vector<Step> path;
  Descend(key.data(), layout_.key_length, RecnoForSearch(recno), path);
  // Unique tags: the lower bound is the key itself, whatever its record.
  {
    TPageView leaf = LoadPage(path.back().page);
    const size_t pos = path.back().index;
    if (pos >= leaf.Count() || leaf.Recno(pos) != recno ||
        Compare(key.data(), leaf.Key(pos), layout_.key_length) != 0)
      return false;
    store_.Touch(path.back().page);
    const size_t count = leaf.Count();
    leaf.MoveEntries(pos + 1, pos, count - pos - 1);
    leaf.SetCount(static_cast<uint32_t>(count - 1));
    leaf.ClearFrom(count - 1, false);
  }
  bool emptied = LoadPage(path.back().page).Count() == 0;
  bool max_changed = !emptied && path.back().index == LoadPage(path.back().page).Count();
  for (size_t d = path.size() - 1; d-- > 0 && (emptied || max_changed);) {
    const uint32_t page = path[d].page;
    const size_t i = path[d].index;
    TPageView v = LoadPage(page);
    const size_t pc = v.Count();
    if (emptied) {
      if (i < pc) {
        store_.Touch(page);
        v.MoveEntries(i + 1, i, pc - i);
        v.SetCount(static_cast<uint32_t>(pc - 1));
        v.ClearFrom(pc - 1, true);
        emptied = max_changed = false;
      } else if (pc == 0) {
        emptied = true;  // its only child went: the page goes too
      } else {
        store_.Touch(page);
        v.SetCount(static_cast<uint32_t>(pc - 1));
        v.ClearFrom(pc - 1, true);
        emptied = false;
        max_changed = true;
      }
    } else if (i < pc) {
      std::vector<std::byte> greatest;
      GreatestKey(v.Child(i), greatest);
      store_.Touch(page);
      v.SetKey(i, greatest.data());
      max_changed = false;
    }
  }
  if (emptied) {
    // Every page is gone: the root becomes an empty leaf.
    store_.Touch(header_.root);
    TPageView root = LoadPage(header_.root);
    root.Clear();
  }
  // An inner root left with a single child hands the root to it.
  for (size_t guard = 0; guard < kMaxTreeDepth; ++guard) {
    TPageView root = LoadPage(header_.root);
    if (!root.IsInner() || root.Count() != 0) break;
    header_.root = root.Child(0);
    header_changed_ = true;
  }
  return true;
}

// ---- cursor -------------------------------------------------------------------------------

void TIndexTag::TakeEntry() {
  TPageView leaf = LoadPage(path_.back().page);
  std::memcpy(cur_key_.data(), leaf.Key(path_.back().index), layout_.key_length);
  cur_recno_ = leaf.Recno(path_.back().index);
  state_ = State::On;
  path_valid_ = true;
}

bool TIndexTag::SettleForward() {
  TakeEntry();
  if (has_range_ && Compare(cur_key_.data(), high_.data(), high_.size()) > 0) {
    state_ = State::Eof;
    return false;
  }
  return true;
}

bool TIndexTag::SettleBackward() {
  TakeEntry();
  if (has_range_ && Compare(cur_key_.data(), low_.data(), low_.size()) < 0) {
    state_ = State::Bof;
    return false;
  }
  return true;
}

bool TIndexTag::First() {
  if (has_range_) Descend(low_.data(), low_.size(), kBeforeAll, path_);
  else Descend(nullptr, 0, kBeforeAll, path_);
  if (!Normalize(path_)) {
    state_ = State::Eof;
    return false;
  }
  return SettleForward();
}

bool TIndexTag::Last() {
  if (has_range_) Descend(high_.data(), high_.size(), kAfterAll, path_);
  else Descend(nullptr, 0, kAfterAll, path_);
  // The path points just past the last wanted entry.
  if (!StepBackward(path_)) {
    state_ = State::Bof;
    return false;
  }
  return SettleBackward();
}

bool TIndexTag::RestorePath() {
  Descend(cur_key_.data(), layout_.key_length, RecnoForSearch(cur_recno_), path_);
  path_valid_ = true;
  TPageView leaf = LoadPage(path_.back().page);
  const size_t i = path_.back().index;
  return i < leaf.Count() && leaf.Recno(i) == cur_recno_ &&
         Compare(cur_key_.data(), leaf.Key(i), layout_.key_length) == 0;
}

bool TIndexTag::Next() {
  if (state_ == State::Eof) return false;
  if (state_ == State::Bof) return First();
  if (!path_valid_ && !RestorePath()) {
    // The entry went away: the path already stands where its successor is.
    if (!Normalize(path_)) {
      state_ = State::Eof;
      return false;
    }
    return SettleForward();
  }
  if (!StepForward(path_)) {
    state_ = State::Eof;
    return false;
  }
  return SettleForward();
}

bool TIndexTag::Prior() {
  if (state_ == State::Bof) return false;
  if (state_ == State::Eof) return Last();
  if (!path_valid_) RestorePath();  // on the entry or where its successor is
  if (!StepBackward(path_)) {
    state_ = State::Bof;
    return false;
  }
  return SettleBackward();
}

bool TIndexTag::Search(std::span<const std::byte> key, bool exact) {
  size_t n = std::min(key.size(), layout_.key_length);
  std::vector<std::byte> search(key.begin(), key.begin() + static_cast<std::ptrdiff_t>(n));
  if (NumericKeys()) {
    // A number has no prefixes: a short numeric key is completed with zero bytes.
    n = layout_.key_length;
    search.resize(n, std::byte{0});
  }
  std::vector<Step> path;
  Descend(search.data(), n, kBeforeAll, path);
  if (!Normalize(path)) return false;
  TPageView leaf = LoadPage(path.back().page);
  const std::byte* found = leaf.Key(path.back().index);
  if (exact && Compare(search.data(), found, n) != 0) return false;
  if (has_range_ && (Compare(found, high_.data(), high_.size()) > 0 ||
                     Compare(found, low_.data(), low_.size()) < 0))
    return false;
  path_ = std::move(path);
  TakeEntry();
  return true;
}

bool TIndexTag::FindEntry(std::span<const std::byte> key, uint32_t recno,
                          std::vector<Step>& path) {
  Descend(key.data(), layout_.key_length, RecnoForSearch(recno), path);
  if (!Normalize(path)) return false;
  TPageView leaf = LoadPage(path.back().page);
  return leaf.Recno(path.back().index) == recno &&
         Compare(key.data(), leaf.Key(path.back().index), layout_.key_length) == 0;
}

bool TIndexTag::GotoEntry(std::span<const std::byte> key, uint32_t recno) {
  if (key.size() != layout_.key_length) throw EDbfError(kAssertionFailure);
  std::vector<Step> path;
  if (!FindEntry(key, recno, path)) return false;
  path_ = std::move(path);
  TakeEntry();
  return true;
}

bool TIndexTag::ContainsEntry(std::span<const std::byte> key, uint32_t recno) {
  if (key.size() != layout_.key_length) return false;
  std::vector<Step> path;
  return FindEntry(key, recno, path);
}

void TIndexTag::SetRange(std::span<const std::byte> low, std::span<const std::byte> high) {
  low_.assign(low.begin(), low.begin() + static_cast<std::ptrdiff_t>(
                                             std::min(low.size(), layout_.key_length)));
  high_.assign(high.begin(), high.begin() + static_cast<std::ptrdiff_t>(
                                                std::min(high.size(), layout_.key_length)));
  if (NumericKeys()) {
    // An empty bound stays open; a number has no prefixes.
    if (!low_.empty()) low_.resize(layout_.key_length, std::byte{0});
    if (!high_.empty()) high_.resize(layout_.key_length, std::byte{0});
  }
  has_range_ = true;
}

void TIndexTag::CancelRange() {
  has_range_ = false;
  low_.clear();
  high_.clear();
}

// Position estimates. The file keeps no key counts, so places are estimated from the tree's
// shape: the pages on the path to the middle key are taken as typical of their level (a
// subtree under a page of depth d holds typical[d] keys), and the pages on the right edge
// are counted as they are, since a tree built in key order leaves every page full but those
// on its right edge. The count is the size of the right edge's subtree from the root; the
// place of a key is the typical size of every subtree left of its path plus its leaf index.
// Exact for trees built in key order; a fair estimate for trees grown key by key.
bool TIndexTag::EstimateShape(std::vector<double>& typical, double& count) {
  std::vector<double> middle_slots, edge_slots;
  for (const bool edge : {false, true}) {
    std::vector<double>& slots = edge ? edge_slots : middle_slots;
    uint32_t page = header_.root;
    for (;;) {
      if (slots.size() >= kMaxTreeDepth)
        TooDeep();
      TPageView v = LoadPage(page);
      if (!v.IsInner()) {
        slots.push_back(v.Count());
        break;
      }
      slots.push_back(double(v.Count()) + 1);
      page = v.Child(edge ? v.Count() : v.Count() / 2);
    }
  }
  if (middle_slots.size() != edge_slots.size()) return false;  // an unbalanced (damaged) tree
  const size_t depth = middle_slots.size();
  typical.assign(depth + 1, 1);
  for (size_t d = depth; d-- > 0;) typical[d] = middle_slots[d] * typical[d + 1];
  count = edge_slots[depth - 1];
  for (size_t d = depth - 1; d-- > 0;) count += (edge_slots[d] - 1) * typical[d + 1];
  return true;
}

uint64_t TIndexTag::EstimatedPosition() {
  if (state_ != State::On) return state_ == State::Bof ? 0 : EstimatedCount() + 1;
  if (!path_valid_) RestorePath();
  std::vector<double> typical;
  double count = 0;
  if (!EstimateShape(typical, count) || typical.size() != path_.size() + 1) return 1;
  double before = 0;
  for (size_t d = 0; d < path_.size(); ++d) before += double(path_[d].index) * typical[d + 1];
  return static_cast<uint64_t>(std::clamp(before + 1, 1.0, std::max(count, 1.0)));
}

uint64_t TIndexTag::EstimatedCount() {
  std::vector<double> typical;
  double count = 0;
  if (!EstimateShape(typical, count)) return 0;
  return static_cast<uint64_t>(std::max(count, 0.0));
}

bool TIndexTag::SeekPosition(uint64_t position) {
  if (has_range_ || position == 0) return false;
  std::vector<double> typical;
  double count = 0;
  if (!EstimateShape(typical, count) || count < 1) return false;
  double rank = std::min(double(position), count) - 1;
  path_.clear();
  uint32_t page = header_.root;
  for (size_t d = 0;; ++d) {
    if (d >= kMaxTreeDepth || d + 1 >= typical.size())
      TooDeep();
    TPageView v = LoadPage(page);
    const size_t slots = v.IsInner() ? size_t{v.Count()} + 1 : size_t{v.Count()};
    const size_t last = slots == 0 ? 0 : slots - 1;
    const size_t i = std::min(last, static_cast<size_t>(rank / typical[d + 1]));
    rank -= double(i) * typical[d + 1];
    path_.push_back({page, i});
    if (!v.IsInner()) break;
    page = v.Child(i);
  }
  path_valid_ = true;
  if (!Normalize(path_)) return Last();
  return SettleForward();
}
}  // namespace lgoty::dbf
