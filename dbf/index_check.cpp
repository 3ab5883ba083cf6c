#include "dbf/index_check.h"

#include <cstring>
#include <exception>
#include <functional>
#include <set>
#include <unordered_set>

#include "dbf/dbf_file.h"
#include "dbf/index_file.h"

namespace lgoty::dbf {

namespace {

constexpr std::byte kDeletedFlag{'*'};

class TTagChecker {
 public:
  TTagChecker(TIndexFile& index, TIndexTag& tag, const TIndexCheckOptions& options,
              std::vector<std::string>& problems)
      : index_(index), tag_(tag), options_(options), problems_(problems) {}

  void Run() {
    try {
      index_.Refresh(tag_);
      leaf_depth_ = SIZE_MAX;
      Walk(tag_.Header().root, 0, true);
      if (options_.check_records) CheckRecords();
    } catch (const std::exception& e) {
      Report(e.what());
    }
  }

 private:
  bool Full() const { return problems_.size() >= options_.max_problems; }
  void Report(const std::string& text) {
    if (!Full()) problems_.push_back("tag " + tag_.Name() + ": " + text);
  }

  // Returns false when the subtree could not be walked; greatest receives its greatest key.
  bool Walk(uint32_t page, size_t depth, bool is_root, std::vector<std::byte>* greatest = nullptr) {
    if (Full()) return false;
    if (depth >= kMaxTreeDepth) {
      Report("the tree is deeper than " + std::to_string(kMaxTreeDepth) + " levels");
      return false;
    }
    if (!visited_.insert(page).second) {
      Report("page " + std::to_string(page) + " is reached twice");  // invariant 2
      return false;
    }
    const TPageLayout& l = tag_.Layout();
    TPageView v = tag_.LoadPage(page);  // invariant 1 (count fits) or an exception
    const size_t count = v.Count();
    const size_t n = l.key_length;
    if (!v.IsInner()) {
      if (leaf_depth_ == SIZE_MAX) leaf_depth_ = depth;
      else if (leaf_depth_ != depth) Report("leaf " + std::to_string(page) + " at depth " +
                                            std::to_string(depth) + ", others at " +
                                            std::to_string(leaf_depth_));
      if (count == 0 && !is_root) Report("leaf " + std::to_string(page) + " is empty");  // 5
      for (size_t i = 0; i < count; ++i) {
        if (l.format == TIndexFormat::ifNdx && v.Child(i) != 0)
          Report("leaf " + std::to_string(page) + " entry " + std::to_string(i) +
                 " has a child page");  // 6
        const uint32_t recno = v.Recno(i);
        if (has_last_) {
          const int c = tag_.Compare(last_key_.data(), v.Key(i), n);
          const bool ordered = c < 0 || (c == 0 && tag_.Kind() == TIndexKind::ikNone &&
                                         last_recno_ < recno);
          if (!ordered)
            Report("key of record " + std::to_string(recno) + " on page " +
                   std::to_string(page) + " is out of order after record " +
                   std::to_string(last_recno_));  // 4
        }
        last_key_.assign(v.Key(i), v.Key(i) + n);
        last_recno_ = recno;
        has_last_ = true;
        entries_.push_back({recno, last_key_});
      }
      if (greatest && count > 0) greatest->assign(v.Key(count - 1), v.Key(count - 1) + n);
      return true;
    }
    if (count > l.InnerCapacity())
      Report("inner page " + std::to_string(page) + " holds " + std::to_string(count) +
             " keys");  // 1
    // Copy what we need: walking children reloads pages.
    std::vector<uint32_t> children(count + 1);
    std::vector<std::vector<std::byte>> keys(count);
    for (size_t i = 0; i <= count; ++i) children[i] = v.Child(i);
    for (size_t i = 0; i < count; ++i) keys[i].assign(v.Key(i), v.Key(i) + n);
    for (size_t i = 0; i <= count; ++i) {
      if (children[i] == 0) {
        Report("inner page " + std::to_string(page) + " has a null child");
        return false;
      }
      std::vector<std::byte> below;
      const size_t before = entries_.size();
      if (!Walk(children[i], depth + 1, false, &below)) return false;
      if (entries_.size() == before) continue;
      if (i < count && below.size() == n && std::memcmp(below.data(), keys[i].data(), n) != 0)
        Report("inner page " + std::to_string(page) + " key " + std::to_string(i) +
               " is not the greatest key of its subtree");  // 3
      if (i == count && greatest && below.size() == n) *greatest = below;
    }
    return true;
  }

  void CheckRecords() {
    TDbfFile& table = index_.Table();
    const uint32_t count = table.RecordCount();
    std::vector<std::byte> record(table.RecordSize());
    std::vector<uint8_t> seen(size_t{count} + 1, 0);
    std::set<std::string> keys_seen;
    for (const auto& [recno, key] : entries_) {
      if (Full()) return;
      if (recno == 0 || recno > count) {
        Report("entry for record " + std::to_string(recno) + ", which does not exist");
        continue;
      }
      if (seen[recno]++) Report("record " + std::to_string(recno) + " is in the tag twice");
      if (tag_.Kind() != TIndexKind::ikNone && !keys_seen.insert(std::string(reinterpret_cast<const char*>(key.data()), key.size())).second)
        Report("the key of record " + std::to_string(recno) + " is in the tag twice");
      if (table.ReadRecord(recno, record) < record.size()) {
        Report("record " + std::to_string(recno) + " cannot be read");
        continue;
      }
      std::span<const std::byte> expected = tag_.KeyOf(record);
      if (std::memcmp(expected.data(), key.data(), key.size()) != 0)
        Report("the key of record " + std::to_string(recno) + " is not its record's");
      if (tag_.Kind() == TIndexKind::ikDistinct && record[0] == kDeletedFlag)
        Report("deleted record " + std::to_string(recno) + " is in a distinct tag");
    }
    if (tag_.Kind() == TIndexKind::ikUnique) return;
    for (uint32_t n = 1; n <= count && !Full(); ++n) {
      if (seen[n]) continue;
      if (table.ReadRecord(n, record) < record.size()) break;
      if (tag_.Kind() == TIndexKind::ikDistinct && record[0] == kDeletedFlag) continue;
      Report("record " + std::to_string(n) + " is missing");
    }
  }

  TIndexFile& index_;
  TIndexTag& tag_;
  const TIndexCheckOptions& options_;
  std::vector<std::string>& problems_;
  std::unordered_set<uint32_t> visited_;
  size_t leaf_depth_ = SIZE_MAX;
  bool has_last_ = false;
  std::vector<std::byte> last_key_;
  uint32_t last_recno_ = 0;
  std::vector<std::pair<uint32_t, std::vector<std::byte>>> entries_;
};

}  // namespace

std::vector<std::string> CheckIndexTag(TIndexFile& index, TIndexTag& tag,
                                       const TIndexCheckOptions& options) {
  std::vector<std::string> problems;
  TTagChecker(index, tag, options, problems).Run();
  return problems;
}

std::vector<std::string> CheckIndexFile(TIndexFile& index, const TIndexCheckOptions& options) {
  std::vector<std::string> problems;
  for (size_t i = 0; i < index.TagCount(); ++i) {
    TIndexCheckOptions rest = options;
    if (problems.size() >= options.max_problems) break;
    rest.max_problems = options.max_problems - problems.size();
    for (std::string& p : CheckIndexTag(index, index.Tag(i), rest)) problems.push_back(std::move(p));
  }
  return problems;
}

}  // namespace lgoty::dbf
