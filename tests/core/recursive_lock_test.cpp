#include "core/recursive_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace lgoty::core {
namespace {

// Threads that take the lock, some of them again inside, never find another thread inside,
// and none of their increments of a plain counter is lost.
TEST(RecursiveLock, NestedHoldersExcludeEachOther) {
  RecursiveLock lock;
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  long counter = 0;
  constexpr int kThreads = 4, kRounds = 20000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        std::lock_guard outer(lock);
        if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
        if ((i + t) % 3 == 0) {
          std::lock_guard inner(lock);
          ++counter;
        } else {
          ++counter;
        }
        inside.fetch_sub(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(counter, long{kThreads} * kRounds);
}

// Taken three times on one thread and given back three times, the lock is free for another.
TEST(RecursiveLock, FreeAfterAsManyUnlocksAsLocks) {
  RecursiveLock lock;
  lock.lock();
  lock.lock();
  lock.lock();
  lock.unlock();
  lock.unlock();
  lock.unlock();
  bool taken = false;
  std::thread other([&] {
    std::lock_guard guard(lock);
    taken = true;
  });
  other.join();
  EXPECT_TRUE(taken);
}

}  // namespace
}  // namespace lgoty::core
