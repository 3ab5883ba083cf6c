#include "sql/row_prefetch.h"

#include <limits>
#include <stdexcept>

namespace lgoty::sql {

TRowPrefetch::TRowPrefetch(size_t rows, Decode decode)
    : slots_(kSlots), rows_(rows), decode_(std::move(decode)) {
  worker_ = std::thread([this] { Run(); });
}

TRowPrefetch::~TRowPrefetch() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_.store(true, std::memory_order_relaxed);
    // Frees every slot: a worker waiting for one wakes, sees the stop and returns.
    taken_ = std::numeric_limits<size_t>::max() / 2;
  }
  taken_changed_.notify_all();
  worker_.join();
}

void TRowPrefetch::Run() {
  size_t taken = 0;  // the worker's last look at taken_
  for (size_t i = 0; i < rows_; ++i) {
    if (i >= taken + kSlots) {
      std::unique_lock<std::mutex> lock(mutex_);
      taken_changed_.wait(lock, [&] { return i < taken_ + kSlots; });
      taken = taken_;
    }
    if (stop_.load(std::memory_order_relaxed)) return;
    TRowValues& slot = slots_[i & (kSlots - 1)];
    slot.Clear();
    decode_(i, slot);
    if ((i + 1) % kBatch == 0 || i + 1 == rows_) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        made_ = i + 1;
        taken = taken_;
      }
      made_changed_.notify_one();
    }
  }
}

void TRowPrefetch::PublishTaken(size_t index) {
  taken_sent_ = index;
  taken_ = index;
}

const TRowValues& TRowPrefetch::Row(size_t index) {
  if (index >= rows_) throw std::out_of_range("no such row in the order");
  if (index >= made_seen_ || index >= taken_sent_ + kBatch) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      PublishTaken(index);
      // The worker may be waiting for a slot that only this row's predecessors held.
      taken_changed_.notify_one();
      made_changed_.wait(lock, [&] { return index < made_; });
      made_seen_ = made_;
    }
  }
  return slots_[index & (kSlots - 1)];
}

}  // namespace lgoty::sql
