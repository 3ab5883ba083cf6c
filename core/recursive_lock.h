// A recursive lock for objects that are locked once per small piece of work, as the report's
// text layout is locked once per measured memo: taking and giving back a free lock is one
// atomic operation each (std::recursive_mutex goes through the pthread library both ways).
// A thread that finds it taken sleeps on the state word until the owner lets go.
//
// State word: 0 free, 1 taken, 2 taken and someone may be sleeping on it (the owner then
// wakes one sleeper when it lets go). The owner and depth are written only by the thread that
// holds the lock; another thread can read its own id in owner_ only if it wrote it itself,
// so the relaxed comparison in lock() is exact.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace lgoty::core {

class RecursiveLock {
 public:
  RecursiveLock() = default;
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void lock() {
    const std::thread::id self = std::this_thread::get_id();
    if (owner_.load(std::memory_order_relaxed) == self) {
      ++depth_;
      return;
    }
    uint32_t seen = 0;
    if (!state_.compare_exchange_strong(seen, 1, std::memory_order_acquire,
                                        std::memory_order_relaxed)) {
      // Taken: announce a sleeper, and sleep until the word is found free (and taken as
      // "taken with sleepers", since others may still sleep).
      if (seen != 2) seen = state_.exchange(2, std::memory_order_acquire);
      while (seen != 0) {
        state_.wait(2, std::memory_order_relaxed);
        seen = state_.exchange(2, std::memory_order_acquire);
      }
    }
    owner_.store(self, std::memory_order_relaxed);
    depth_ = 1;
  }

  void unlock() {
    if (--depth_ > 0) return;
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    if (state_.exchange(0, std::memory_order_release) == 2) state_.notify_one();
  }

 private:
  std::atomic<uint32_t> state_{0};
  std::atomic<std::thread::id> owner_{};
  uint32_t depth_ = 0;
};

}  // namespace lgoty::core
