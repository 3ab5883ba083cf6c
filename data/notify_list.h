// The list of listeners a dataset keeps of its data sources and a data source of its links.
// Notifying must survive listeners that unlink themselves (or others) and listeners added
// while a notification runs, and it runs on every record step, so it must not copy the list:
// removal during a walk leaves a hole that is compacted when the outermost walk ends;
// listeners added during a walk are appended and hear the rest of it.
#pragma once

#include <algorithm>
#include <vector>

namespace lgoty::data {

template <typename T>
class TNotifyList {
 public:
  void Add(T* item) { items_.push_back(item); }
  void Remove(T* item) {
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    if (walking_ > 0) {
      *it = nullptr;
      holes_ = true;
    } else {
      items_.erase(it);
    }
  }
  bool Empty() const {
    return std::none_of(items_.begin(), items_.end(), [](T* item) { return item != nullptr; });
  }
  // Calls f(item) for every listener present when its turn comes.
  template <typename F>
  void ForEach(F&& f) {
    if (items_.empty()) return;
    Walk walk(*this);
    for (size_t i = 0; i < items_.size(); ++i) {
      if (T* item = items_[i]) f(item);
    }
  }
  template <typename F>
  void ForEach(F&& f) const {
    for (T* item : items_) {
      if (item) f(item);
    }
  }
  // Empties the list and returns what it held (holes dropped).
  std::vector<T*> Release() {
    std::vector<T*> out;
    for (T* item : items_) {
      if (item) out.push_back(item);
    }
    items_.clear();
    return out;
  }

 private:
  struct Walk {
    explicit Walk(TNotifyList& list) : list(list) { ++list.walking_; }
    ~Walk() {
      if (--list.walking_ == 0 && list.holes_) {
        std::erase(list.items_, nullptr);
        list.holes_ = false;
      }
    }
    TNotifyList& list;
  };

  std::vector<T*> items_;
  int walking_ = 0;
  bool holes_ = false;  // a removal during a walk left a null behind
};

}  // namespace lgoty::data
