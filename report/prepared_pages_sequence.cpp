#include "report/prepared_pages_sequence.h"

#include "report/pages.h"
#include "report/prepared_pages.h"

namespace lgoty::report {

TfrxPageSequence::TfrxPageSequence(TfrxPreviewPages& pages) : pages_(pages) {
  count_ = pages_.Count();
  // Built pages of the cache may be handed out by Page later; the sequence keeps its own.
  if (count_ > 0) {
    worker_ = std::thread([this] { Work(); });
    Start(0, nullptr);
  }
}

TfrxPageSequence::~TfrxPageSequence() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    free_ = std::move(current_);
  }
  changed_.notify_all();
  worker_.join();  // the thread finishes a page it is building, and frees what it holds
  if (pending_ && index_ + 1 < count_) pages_.ReleasePageItem(index_ + 1);
}

void TfrxPageSequence::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || asked_ || free_; });
    std::unique_ptr<TfrxReportPage> old = std::move(free_);
    core::TfrxXMLItem* item = asked_;
    asked_ = nullptr;
    lock.unlock();
    recycler_.Recycle(std::move(old));
    std::unique_ptr<TfrxReportPage> page;
    std::exception_ptr failure;
    if (item) {
      try {
        page = pages_.BuildPage(item, &recycler_);
      } catch (...) {
        failure = std::current_exception();
      }
    }
    lock.lock();
    if (item) {
      reused_ = recycler_.ReusedCount();
      built_ = std::move(page);
      failure_ = failure;
      ready_ = true;
      changed_.notify_all();
    }
    if (stopping_ && !asked_) {
      // What is left is freed here, on the thread that made it.
      std::unique_ptr<TfrxReportPage> left = std::move(built_);
      std::unique_ptr<TfrxReportPage> last = std::move(free_);
      lock.unlock();
      recycler_.Recycle(std::move(left));
      recycler_.Recycle(std::move(last));
      recycler_.Clear();
      return;
    }
  }
}

void TfrxPageSequence::Start(int index, std::unique_ptr<TfrxReportPage> done_with) {
  // The item is swapped in here, on the calling thread: the document's temporary file is
  // not the rebuilding thread's to touch.
  core::TfrxXMLItem* item = index < count_ ? pages_.PageItem(index) : nullptr;
  {
    std::lock_guard lock(mutex_);
    asked_ = item;
    pending_ = item != nullptr;
    ready_ = false;
    free_ = std::move(done_with);
  }
  changed_.notify_all();
}

std::unique_ptr<TfrxReportPage> TfrxPageSequence::Take() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return ready_; });
  ready_ = false;
  pending_ = false;
  if (failure_) {
    std::exception_ptr failure = failure_;
    failure_ = nullptr;
    std::rethrow_exception(failure);
  }
  return std::move(built_);
}

size_t TfrxPageSequence::ReusedCount() {
  std::lock_guard lock(mutex_);
  return reused_;
}

TfrxReportPage* TfrxPageSequence::Next() {
  if (index_ + 1 >= count_) {
    if (current_ && worker_.joinable()) {
      std::lock_guard lock(mutex_);
      free_ = std::move(current_);
      changed_.notify_all();
    }
    current_.reset();
    return nullptr;
  }
  std::unique_ptr<TfrxReportPage> page = Take();
  ++index_;
  pages_.ReleasePageItem(index_);
  // The previous page is freed by the rebuilding thread while the caller draws this one:
  // its objects are its own and nothing of the store is touched.
  Start(index_ + 1, std::move(current_));
  current_ = std::move(page);
  return current_.get();
}

}  // namespace lgoty::report
