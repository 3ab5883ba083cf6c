// TIndexTag: one B-tree of an index file (an MDX tag or the tree of an NDX file) with its
// key expression, collation and cursor.
//
// Tree invariants (checked by dbf/index_check.h; a debug build re-checks the pages an
// operation touched):
//   1. Every page's key count fits the page: a leaf holds at most "max entries" keys, an
//      inner page at most max entries - 1 keys plus the pointer after the last key.
//   2. Inner pages hold key count + 1 child pointers, each to a page inside the file; the
//      tree is acyclic and every leaf lies at the same depth.
//   3. The key of inner entry i equals the greatest key of the subtree of child i (the last
//      pointer has no key).
//   4. Keys ascend in the tag's order (collation, numeric order, reversed when descending)
//      along the leaves from left to right; among equal keys of a tag of kind none the record
//      numbers ascend. Tags of kind unique and distinct hold no two equal keys.
//   5. Only the root may be an empty leaf; other leaves hold at least one key and other
//      inner pages at least one child.
//   6. MDX leaves keep the pointer after their last key zero (that is how a leaf is told from
//      an inner page); NDX leaves have child page 0 in every entry, NDX inner pages record 0.
//
// Changes descend from the root and split every full page before entering it, so a split
// never travels upwards; the greatest key of a split-off left half goes to the parent.
// Removing a key takes it out of its leaf, drops pages that become empty and carries a new
// greatest key up to the first ancestor entry that names it.
//
// The cursor remembers its key and record number, so it survives changes of the tree: a
// path invalidated by a change (or, in shared mode, by other programs) is found again by a
// search for that entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "dbf/collation.h"
#include "dbf/index_format.h"
#include "dbf/index_page.h"

namespace lgoty::dbf {

class TDbfIndexParser;

enum class TIndexKind : uint8_t { ikNone, ikUnique, ikDistinct };

// Deeper trees are refused as damaged (a 1024-byte page with the largest keys still holds
// nine of them, so 32 levels are far beyond any real file).
inline constexpr size_t kMaxTreeDepth = 32;

// The tag header as this engine reads and writes it (layout in dbf/index_format.h).
struct TTagHeader {
  uint32_t root = 0;
  uint32_t page_count = 0;  // NDX only
  uint8_t key_flags = 0;
  char key_type = 'C';
  uint16_t key_length = 0;
  uint16_t max_entries = 0;
  uint16_t entry_length = 0;
  uint8_t uniqueness = 0;
  std::string expression;

  // Reads and checks a tag header; throws EDbfError naming what is wrong (in the file named
  // file_name).
  static TTagHeader Read(std::span<const std::byte> block, TIndexFormat format,
                         const std::string& file_name);
  void Write(std::span<std::byte> block, TIndexFormat format) const;
  TIndexKind Kind(TIndexFormat format) const;
  bool Descending(TIndexFormat format) const;
};

class TIndexTag {
 public:
  // header_page: the page of the tag header (MDX unit, 0 for NDX). store is borrowed and
  // must outlive the tag.
  TIndexTag(TIndexFormat format, std::string name, uint32_t header_page, TTagHeader header,
            TIndexPageStore& store);
  ~TIndexTag();
  TIndexTag(const TIndexTag&) = delete;
  TIndexTag& operator=(const TIndexTag&) = delete;

  const std::string& Name() const { return name_; }
  uint32_t HeaderPage() const { return header_page_; }
  const TTagHeader& Header() const { return header_; }
  TTagHeader& MutableHeader() { return header_; }
  // Tells the tag its header was re-read (shared mode): the cursor's path is found again.
  void HeaderReloaded(const TTagHeader& header);
  bool HeaderChanged() const { return header_changed_; }
  void ClearHeaderChanged() { header_changed_ = false; }
  TIndexFormat Format() const { return format_; }
  TIndexKind Kind() const { return kind_; }
  bool Descending() const { return descending_; }
  size_t KeyLength() const { return layout_.key_length; }
  const TPageLayout& Layout() const { return layout_; }

  // ---- keys ----------------------------------------------------------------------------------
  void SetCollation(const TCollationWeights* weights) {
    weights_ = weights;
    DecideKeyOrder();
  }
  bool PlainOrder() const { return weights_ == nullptr; }
  bool NumericKeys() const {
    return key_order_ == TKeyOrder::MdxNumber || key_order_ == TKeyOrder::NdxNumber;
  }
  // The parser that computes keys (owned). Its key length may differ from the file's; keys
  // are padded with spaces or cut to KeyLength().
  void SetParser(std::unique_ptr<TDbfIndexParser> parser);
  TDbfIndexParser* Parser() { return parser_.get(); }
  // The key of a record image (valid until the next call).
  std::span<const std::byte> KeyOf(std::span<const std::byte> record);
  // Tag order over the first n bytes of two keys (n <= KeyLength()): < 0, 0, > 0.
  int Compare(const std::byte* a, const std::byte* b, size_t n) const;

  // ---- changes -------------------------------------------------------------------------------
  // Adds (key, recno). In tags of kind unique and distinct an equal key already present adds
  // nothing: false, with the record holding it in *holder.
  bool Add(std::span<const std::byte> key, uint32_t recno, uint32_t* holder);
  // Removes the entry (key, recno); false when it is not there.
  bool Remove(std::span<const std::byte> key, uint32_t recno);

  // ---- cursor --------------------------------------------------------------------------------
  bool First();
  bool Last();
  bool Next();
  bool Prior();
  // Goes to the first key not less than key over its length (a shorter key is a prefix).
  // exact: succeeds only when the key reached starts with key. A failed search leaves the
  // cursor where it was.
  bool Search(std::span<const std::byte> key, bool exact);
  // Goes to the entry (key, recno); false (cursor unchanged) when it is not in the tag.
  bool GotoEntry(std::span<const std::byte> key, uint32_t recno);
  // Whether the tag holds the entry (key, recno); the cursor stays where it is.
  bool ContainsEntry(std::span<const std::byte> key, uint32_t recno);
  bool Bof() const { return state_ == State::Bof; }
  bool Eof() const { return state_ == State::Eof; }
  // 0 at BOF or EOF.
  uint32_t RecNo() const { return state_ == State::On ? cur_recno_ : 0; }
  std::span<const std::byte> CurrentKey() const { return cur_key_; }
  // Keys are compared over the lengths of low and high (prefixes allowed).
  void SetRange(std::span<const std::byte> low, std::span<const std::byte> high);
  void CancelRange();
  bool HasRange() const { return has_range_; }
  // Estimates from the current path (see the class comment of TIndexFile).
  uint64_t EstimatedPosition();
  uint64_t EstimatedCount();
  // Onto the key at about that 1-based place of the tag, the inverse of EstimatedPosition;
  // false without moving when a range is set.
  bool SeekPosition(uint64_t position);
  // The tree changed under the cursor (own change or another program's).
  void InvalidatePath() { path_valid_ = false; }

  // ---- for the verifier ----------------------------------------------------------------------
  // Page n as a checked view (count fits). Throws EDbfError for a damaged page.
  TPageView LoadPage(uint32_t n);
  // Throw the damage of the tag's file (ThrowDamagedIndex with the store's name).
  [[noreturn]] void Damaged(const std::string& what) const;
  [[noreturn]] void TooDeep() const;
  // The debug check of a page a change touched: invariants 1, 2 (null children) and 4 within
  // the page. Throws EDbfError "Assertion failure" when one does not hold.
  void CheckChangedPage(uint32_t n);

 private:
  enum class State { Bof, On, Eof };
  struct Step {
    uint32_t page;
    size_t index;
  };
  // Sentinel record numbers of searches: before and after every record of a key.
  static constexpr uint32_t kBeforeAll = 0;
  static constexpr uint32_t kAfterAll = UINT32_MAX;

  // Fills path with the way to the first entry >= (key over n bytes, recno); the leaf index
  // may equal the leaf's count (past its end).
  void Descend(const std::byte* key, size_t n, uint32_t recno, std::vector<Step>& path);
  // Fills path with the way to the entry (key, recno) and tells whether it is there; key is
  // KeyLength() bytes.
  bool FindEntry(std::span<const std::byte> key, uint32_t recno, std::vector<Step>& path);
  // typical[d]: keys under a page of depth d (root 0; typical[depth] = 1); count: keys of
  // the tag. False for a tree whose middle and right-edge paths differ in depth.
  bool EstimateShape(std::vector<double>& typical, double& count);
  size_t ChooseChild(TPageView& page, const std::byte* key, size_t n, uint32_t recno);
  size_t LeafLowerBound(TPageView& page, const std::byte* key, size_t n, uint32_t recno);
  uint32_t GreatestRecno(uint32_t page);
  void GreatestKey(uint32_t page, std::vector<std::byte>& key);
  bool IsFull(TPageView& page);
  void SplitChild(uint32_t parent, size_t i);
  // Path moves over leaf entries; false at the end.
  bool StepForward(std::vector<Step>& path);
  bool StepBackward(std::vector<Step>& path);
  void DescendEdge(std::vector<Step>& path, bool rightmost);
  // Moves a path whose leaf index may be past the leaf's end onto an entry.
  bool Normalize(std::vector<Step>& path);
  // Takes the cursor's entry from path (state On), checking the range.
  bool SettleForward();
  bool SettleBackward();
  void TakeEntry();
  // Re-finds the cursor's path; returns false when its entry is gone and the path now points
  // at the next entry (or past the end).
  bool RestorePath();
  // How keys compare, decided once from the key type, the file format and the collation.
  enum class TKeyOrder : uint8_t { MdxNumber, NdxNumber, PlainBytes, Collated };
  void DecideKeyOrder();

  uint32_t RecnoForSearch(uint32_t recno) const {
    return kind_ == TIndexKind::ikNone ? recno : kBeforeAll;
  }

  TIndexFormat format_;
  std::string name_;
  uint32_t header_page_;
  TTagHeader header_;
  bool header_changed_ = false;
  TIndexPageStore& store_;
  TPageLayout layout_;
  TIndexKind kind_ = TIndexKind::ikNone;
  bool descending_ = false;
  const TCollationWeights* weights_ = nullptr;
  TKeyOrder key_order_ = TKeyOrder::PlainBytes;
  std::unique_ptr<TDbfIndexParser> parser_;
  std::vector<std::byte> key_buffer_;

  State state_ = State::Bof;
  std::vector<std::byte> cur_key_;
  uint32_t cur_recno_ = 0;
  std::vector<Step> path_;
  bool path_valid_ = false;

  bool has_range_ = false;
  std::vector<std::byte> low_, high_;
};

}  // namespace lgoty::dbf
