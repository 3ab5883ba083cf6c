// TfrxPageFeed: the pages of a run's final pass handed to a reader on another thread while
// the run goes on (the PDF is drawn alongside the pass, render/pipelined_pdf.h).
//
// The feed listens to the store (report/prepared_pages_listener.h). Once the final pass
// has begun, every page that is complete (the next one was appended) is rebuilt into a page
// tree on the filling thread, with the feed's own PreparedObjectRecycler, exactly as
// TfrxPageSequence rebuilds it, and queued for the reader; at most max_queued trees wait,
// pages beyond that stay in the store until there is room (the pass never waits for the
// reader). After the run, Close hands out the rest, waiting for room.
//
// What the reader got is what an export after the run would see, unless the store changes
// a page that was complete, or the pass did not start on an empty store: the feed then is
// abandoned (the reader's Next returns nullptr, Intact is false) and the caller writes its
// output after the run as before. The page count the reader draws [TotalPages#] with is
// the engine's count from the first pass (0 on a single pass); whether it was right is the
// caller's to check against the final Count().
//
// Threads: the store's calls, Close, Intact and the destructor on the filling thread (the
// one that runs the engine); Next and Abandon on the reading thread. Trees are made and
// freed (recycled) on the filling thread only: the reader gives a tree back with its next
// call of Next and must leave it as it found it (drawing puts marker texts back). The
// reader touches nothing of the store or the report; the store is never read by it.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "report/prepared_object_recycler.h"
#include "report/prepared_pages_listener.h"

namespace lgoty::report {

class TfrxPreviewPages;
class TfrxReportPage;

class TfrxPageFeed final : public PreparedPagesListener {
 public:
  // A page tree handed to the reader, with its index and the page count to draw it with.
  struct FedPage {
    TfrxReportPage* page = nullptr;  // nullptr: the feed ended
    int index = -1;
    int count = 0;
  };

  // Attaches itself to the store as its listener. REQUIRES the store outlives the feed
  // and has no other listener.
  explicit TfrxPageFeed(TfrxPreviewPages& pages, size_t max_queued = 3);
  // Detaches, and frees what is left. REQUIRES the reader no longer calls Next.
  ~TfrxPageFeed() override;
  TfrxPageFeed(const TfrxPageFeed&) = delete;
  TfrxPageFeed& operator=(const TfrxPageFeed&) = delete;

  // ---- the filling thread ----------------------------------------------------------------
  void FinalPassBegun(int first_page, int total_pages) override;
  void PageAppended(int index) override;
  void PagesChanging(int index) override;
  // After the run. complete: the run succeeded and its pages are final; the pages not
  // handed out yet are rebuilt and queued (waiting for the reader to make room), then the
  // reader's Next ends. Otherwise the feed is abandoned.
  void Close(bool complete);
  // After Close(true): every page of the store was handed out, in order, and none of them
  // changed afterwards (nor the store since). Changes made later are noticed too.
  bool Intact() const;
  // The page count the pages were handed out with.
  int PredictedCount() const;
  // The memos reused for the trees built so far, instead of made anew.
  size_t ReusedCount() const { return recycler_.ReusedCount(); }

  // ---- the reading thread ------------------------------------------------------------------
  // Gives back the tree returned last and waits for the next one; page nullptr once the
  // feed was closed and every page taken, or abandoned.
  FedPage Next();
  // The reader stops (a failure of its own): the feed is abandoned.
  void Abandon();
  // Whether the feed ended because it was closed with every page handed out (not
  // abandoned); either thread.
  bool Closed() const;

 private:
  struct Built {
    std::unique_ptr<TfrxReportPage> page;
    int index;
    int count;
  };
  // Recycles the trees the reader gave back, then rebuilds complete pages while there is
  // room in the queue (or, with wait, until every complete page is queued).
  void Feed(bool wait);
  void AbandonLocked();
  // Stops following the run (changed: because a page that was handed out may differ now)
  // and abandons the reader.
  void GiveUp(bool changed);
  bool Abandoned();


  TfrxPreviewPages& pages_;
  const size_t max_queued_;
  // The filling thread's own.
  bool active_ = false;    // the final pass began on an empty store and nothing changed
  bool closed_ = false;    // Close(true) handed everything out
  bool changed_ = false;   // a complete page changed, or the pass began on pages kept
  int last_appended_ = -1;
  int completed_ = 0;      // pages 0 .. completed_ - 1 are complete
  int built_ = 0;          // pages 0 .. built_ - 1 were rebuilt and queued
  int count_ = 0;
  PreparedObjectRecycler recycler_;

  // Shared with the reader, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Built> queue_;
  std::vector<std::unique_ptr<TfrxReportPage>> returned_;
  std::unique_ptr<TfrxReportPage> reading_;  // the reader's current tree
  bool ended_ = false;      // no pages come after those queued
  bool abandoned_ = false;  // the reader gets nothing more
};

}  // namespace lgoty::report
