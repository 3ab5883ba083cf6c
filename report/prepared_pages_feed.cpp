#include "report/prepared_pages_feed.h"

#include <utility>

#include "core/xml_document.h"
#include "report/pages.h"
#include "report/prepared_pages.h"

namespace lgoty::report {

TfrxPageFeed::TfrxPageFeed(TfrxPreviewPages& pages, size_t max_queued)
    : pages_(pages), max_queued_(max_queued < 1 ? 1 : max_queued) {
  pages_.SetListener(this);
}

TfrxPageFeed::~TfrxPageFeed() {
  if (pages_.Listener() == this) pages_.SetListener(nullptr);
  std::vector<std::unique_ptr<TfrxReportPage>> left;
  {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    for (Handed& handed : queue_) left.push_back(std::move(handed.page));
    queue_.clear();
    for (auto& page : returned_) left.push_back(std::move(page));
    returned_.clear();
    left.push_back(std::move(reading_));
  }
  // The reader no longer rebuilds: whichever thread made the trees, the recycler notes
  // them until they come back.
  for (auto& page : left) {
    if (page) recycler_.Recycle(std::move(page));
  }
  recycler_.Clear();
}

void TfrxPageFeed::AbandonLocked() {
  abandoned_ = true;
  for (Handed& handed : queue_) {
    if (handed.page) returned_.push_back(std::move(handed.page));
  }
  queue_.clear();
  wake_.notify_all();
}

bool TfrxPageFeed::Abandoned() {
  std::lock_guard lock(mutex_);
  return abandoned_;
}

void TfrxPageFeed::EndReading(std::unique_lock<std::mutex>& lock) {
  std::unique_ptr<TfrxReportPage> last;
  if (reading_) {
    if (reading_own_) {
      last = std::move(reading_);
    } else {
      returned_.push_back(std::move(reading_));
      wake_.notify_all();
    }
  }
  const bool own_recycler = reader_rebuilds_;
  lock.unlock();
  if (last) recycler_.Recycle(std::move(last));
  if (own_recycler) recycler_.Clear();
}

void TfrxPageFeed::Abandon() {
  std::unique_lock lock(mutex_);
  AbandonLocked();
  EndReading(lock);
}

void TfrxPageFeed::GiveUp(bool changed) {
  if (changed) changed_ = true;
  active_ = false;
  std::unique_lock lock(mutex_);
  AbandonLocked();
  // The store changes (or may free) what the reader is reading only once it is done.
  wake_.wait(lock, [this] { return !rebuilding_; });
}

void TfrxPageFeed::FinalPassBegun(int first_page, int total_pages) {
  if (closed_ || changed_) return;
  count_ = total_pages;
  completed_ = 0;
  built_ = 0;
  last_appended_ = -1;
  // Pages kept from before the run (an appending run) would have to be drawn first, and
  // the pass may write onto the last of them: such runs are left to the export after it.
  if (first_page >= 0) {
    GiveUp(true);
    return;
  }
  if (!decided_) {
    decided_ = true;
    // Items that may be swapped out are swapped in and out by the filling thread.
    std::lock_guard lock(mutex_);
    reader_rebuilds_ = !pages_.SwapsPages();
  }
  active_ = !Abandoned();
}

void TfrxPageFeed::PageAppended(int index) {
  if (!active_) return;
  if (index != last_appended_ + 1) {
    // Not the page after the last one: something the feed does not follow happened.
    GiveUp(true);
    return;
  }
  last_appended_ = index;
  completed_ = index;
  Feed(false);
}

void TfrxPageFeed::PagesChanging(int index) {
  if ((!active_ && !closed_) || index >= completed_) return;
  GiveUp(true);
}

void TfrxPageFeed::PagesUnloading() {
  // Only the filling thread's own rebuilds swap items in and out; the reader's items must
  // stay as they are (the file cache was switched on during the run).
  if (reader_rebuilds_ && (active_ || closed_)) GiveUp(true);
}

void TfrxPageFeed::HandItems() {
  for (int i = built_; i < completed_; ++i) {
    if (!pages_.PagesItem()->Items(i)->Loaded()) {
      GiveUp(true);  // swapped out: nothing the feed followed
      return;
    }
  }
  std::lock_guard lock(mutex_);
  if (abandoned_) {
    active_ = false;
    return;
  }
  if (built_ >= completed_) return;
  for (; built_ < completed_; ++built_) {
    queue_.push_back(Handed{nullptr, pages_.PagesItem()->Items(built_), built_, count_});
  }
  wake_.notify_all();
}

void TfrxPageFeed::Feed(bool wait) {
  if (reader_rebuilds_) {
    if (active_) HandItems();
    return;
  }
  for (;;) {
    std::vector<std::unique_ptr<TfrxReportPage>> back;
    bool room = false;
    {
      std::unique_lock lock(mutex_);
      if (wait) {
        wake_.wait(lock, [this] {
          return abandoned_ || built_ >= completed_ || queue_.size() < max_queued_ ||
                 !returned_.empty();
        });
      }
      back.swap(returned_);
      room = queue_.size() < max_queued_;
      if (abandoned_) active_ = false;
    }
    for (auto& page : back) recycler_.Recycle(std::move(page));
    if (!active_ || built_ >= completed_) return;
    if (!room) {
      if (!wait) return;
      continue;
    }
    std::unique_ptr<TfrxReportPage> page;
    try {
      core::TfrxXMLItem* item = pages_.PagesItem()->Items(built_);
      const bool was_loaded = item->Loaded();
      page = pages_.BuildPage(pages_.PageItem(built_), &recycler_);
      if (!was_loaded) pages_.ReleasePageItem(built_);
    } catch (...) {
      // The export after the run builds the page again and reports what fails.
      GiveUp(true);
      return;
    }
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(Handed{std::move(page), nullptr, built_, count_});
      reused_ = recycler_.ReusedCount();
      wake_.notify_all();
    }
    ++built_;
  }
}

void TfrxPageFeed::Close(bool complete) {
  if (!complete || !active_) {
    GiveUp(false);
    return;
  }
  completed_ = pages_.Count();
  Feed(true);
  if (!active_ || built_ != completed_) {
    GiveUp(false);
    return;
  }
  active_ = false;
  closed_ = true;
  std::lock_guard lock(mutex_);
  ended_ = true;
  wake_.notify_all();
}

bool TfrxPageFeed::Intact() const {
  if (!closed_ || changed_ || built_ != pages_.Count()) return false;
  std::lock_guard lock(mutex_);
  return !abandoned_ && !failed_;
}

int TfrxPageFeed::PredictedCount() const { return count_; }

bool TfrxPageFeed::ReaderRebuilds() const {
  std::lock_guard lock(mutex_);
  return reader_rebuilds_;
}

size_t TfrxPageFeed::ReusedCount() const {
  std::lock_guard lock(mutex_);
  return reused_;
}

bool TfrxPageFeed::Closed() const {
  std::lock_guard lock(mutex_);
  return ended_ && !abandoned_;
}

TfrxPageFeed::FedPage TfrxPageFeed::Next() {
  std::unique_lock lock(mutex_);
  if (reading_) {
    if (reading_own_) {
      std::unique_ptr<TfrxReportPage> done = std::move(reading_);
      lock.unlock();
      recycler_.Recycle(std::move(done));
      lock.lock();
    } else {
      returned_.push_back(std::move(reading_));
      wake_.notify_all();
    }
  }
  wake_.wait(lock, [this] { return abandoned_ || ended_ || !queue_.empty(); });
  if (abandoned_ || queue_.empty()) {
    EndReading(lock);
    return FedPage{};
  }
  Handed handed = std::move(queue_.front());
  queue_.pop_front();
  wake_.notify_all();
  if (handed.page) {
    reading_ = std::move(handed.page);
    reading_own_ = false;
    return FedPage{reading_.get(), handed.index, handed.count};
  }
  // The item is the reader's until rebuilding_ is cleared: the filling thread waits for
  // that before the store changes a page that was handed out.
  rebuilding_ = true;
  lock.unlock();
  std::unique_ptr<TfrxReportPage> page;
  bool failed = false;
  try {
    page = pages_.BuildPage(handed.item, &recycler_);
  } catch (...) {
    // The export after the run builds the page again and reports what fails.
    failed = true;
  }
  const size_t reused = recycler_.ReusedCount();
  lock.lock();
  rebuilding_ = false;
  reused_ = reused;
  wake_.notify_all();
  reading_ = std::move(page);
  reading_own_ = true;
  if (failed) {
    failed_ = true;
    AbandonLocked();
  }
  if (abandoned_) {
    // The page may have changed while it was rebuilt.
    EndReading(lock);
    return FedPage{};
  }
  return FedPage{reading_.get(), handed.index, handed.count};
}

}  // namespace lgoty::report
