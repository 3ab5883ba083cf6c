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
    for (Built& built : queue_) left.push_back(std::move(built.page));
    queue_.clear();
    for (auto& page : returned_) left.push_back(std::move(page));
    returned_.clear();
    left.push_back(std::move(reading_));
  }
  // The trees were made here; the recycler notes them until they come back.
  for (auto& page : left) {
    if (page) recycler_.Recycle(std::move(page));
  }
  recycler_.Clear();
}

void TfrxPageFeed::AbandonLocked() {
  abandoned_ = true;
  for (Built& built : queue_) returned_.push_back(std::move(built.page));
  queue_.clear();
  wake_.notify_all();
}

bool TfrxPageFeed::Abandoned() {
  std::lock_guard lock(mutex_);
  return abandoned_;
}

void TfrxPageFeed::Abandon() {
  std::lock_guard lock(mutex_);
  AbandonLocked();
}

void TfrxPageFeed::GiveUp(bool changed) {
  if (changed) changed_ = true;
  active_ = false;
  Abandon();
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

void TfrxPageFeed::Feed(bool wait) {
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
      queue_.push_back(Built{std::move(page), built_, count_});
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
  return closed_ && !changed_ && built_ == pages_.Count();
}

int TfrxPageFeed::PredictedCount() const { return count_; }

bool TfrxPageFeed::Closed() const {
  std::lock_guard lock(mutex_);
  return ended_ && !abandoned_;
}

TfrxPageFeed::FedPage TfrxPageFeed::Next() {
  std::unique_lock lock(mutex_);
  if (reading_) {
    returned_.push_back(std::move(reading_));
    wake_.notify_all();
  }
  wake_.wait(lock, [this] { return abandoned_ || ended_ || !queue_.empty(); });
  if (abandoned_ || queue_.empty()) return FedPage{};
  Built built = std::move(queue_.front());
  queue_.pop_front();
  reading_ = std::move(built.page);
  wake_.notify_all();
  return FedPage{reading_.get(), built.index, built.count};
}

}  // namespace lgoty::report
