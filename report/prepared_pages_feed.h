// TfrxPageFeed: the pages of a run's final pass handed to a reader on another thread while
// the run goes on (the PDF is drawn alongside the pass, render/pipelined_pdf.h).
//
// The feed listens to the store (report/prepared_pages_listener.h). Once the final pass
// has begun, every page that is complete (the next one was appended) is handed to the
// reader, which rebuilds it into a page tree (exactly as TfrxPageSequence does, with the
// feed's own PreparedObjectRecycler) in its call of Next and draws it, so that the run's
// thread only fills the store. The rebuild reads the page's item, which the run no longer
// writes, and what the store guards for it (TfrxPreviewPages::sources_mutex_: aliases,
// source pages, compiled references, pictures), while the run goes on adding to those.
//
// When page items may go to the temporary file meanwhile (EngineOptions.UseFileCache, or a
// store that swapped items already), a reader could find an item emptied under it: the
// pages are then rebuilt on the filling thread, each one swapped in and out there, and
// queued as trees for the reader; at most max_queued trees wait, pages beyond that stay in
// the store until there is room (the pass never waits for the reader). After the run,
// Close hands out the rest (waiting for room when the filling thread builds).
//
// What the reader got is what an export after the run would see, unless the store changes
// a page that was complete, or the pass did not start on an empty store: the feed then is
// abandoned (the reader's Next returns nullptr, Intact is false) and the caller writes its
// output after the run as before. Before the store changes a page that was handed out
// (PagesChanging) the filling thread waits until a rebuild in progress has ended, so the
// store never changes an item under the reader. The page count the reader draws
// [TotalPages#] with is the engine's count from the first pass (0 on a single pass);
// whether it was right is the caller's to check against the final Count().
//
// Threads: the store's calls, Close, Intact and the destructor on the filling thread (the
// one that runs the engine); Next and Abandon on the reading thread. A tree is made and
// freed (recycled) on one thread: by the reader in its calls of Next when it rebuilt the
// tree, otherwise on the filling thread. The reader gives a tree back with its next call
// of Next and must leave it as it found it (drawing puts marker texts back). After Close
// the reader may still be rebuilding the pages handed out last: until it got the end from
// Next the store must change nothing unannounced (a run changes nothing after it ended;
// PipelinedPdf waits for its drawing thread right after Close).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "report/prepared_object_recycler.h"
#include "report/prepared_pages_listener.h"

namespace lgoty::core {
class TfrxXMLItem;
}

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
  void PagesUnloading() override;
  // After the run. complete: the run succeeded and its pages are final; the pages not
  // handed out yet are handed out (rebuilt and queued, waiting for the reader to make
  // room, when the filling thread rebuilds), then the reader's Next ends. Otherwise the
  // feed is abandoned.
  void Close(bool complete);
  // After Close(true) and the reader's end: every page of the store was handed out, in
  // order, none of them changed afterwards (nor the store since) and every rebuild
  // succeeded. Changes made later are noticed too.
  bool Intact() const;
  // The page count the pages were handed out with.
  int PredictedCount() const;
  // Whether the reader rebuilds the pages (false: the filling thread does; decided when
  // the final pass begins).
  bool ReaderRebuilds() const;
  // The memos reused for the trees built so far, instead of made anew.
  size_t ReusedCount() const;

  // ---- the reading thread ------------------------------------------------------------------
  // Gives back the tree returned last and waits for the next page, rebuilding it when the
  // reader rebuilds; page nullptr once the feed was closed and every page taken, or
  // abandoned (or a rebuild failed: the feed is then abandoned too).
  FedPage Next();
  // The reader stops (a failure of its own): the feed is abandoned.
  void Abandon();
  // Whether the feed ended because it was closed with every page handed out (not
  // abandoned); either thread.
  bool Closed() const;

 private:
  // A page handed out: its tree (rebuilt by the filling thread) or its item (for the
  // reader to rebuild).
  struct Handed {
    std::unique_ptr<TfrxReportPage> page;
    core::TfrxXMLItem* item = nullptr;
    int index;
    int count;
  };
  // Hands out the complete pages: their items when the reader rebuilds; otherwise
  // recycles the trees the reader gave back, then rebuilds complete pages while there is
  // room in the queue (or, with wait, until every complete page is queued).
  void Feed(bool wait);
  void HandItems();
  void AbandonLocked();
  // Stops following the run (changed: because a page that was handed out may differ now)
  // and abandons the reader, waiting for a rebuild of the reader's in progress.
  void GiveUp(bool changed);
  bool Abandoned();
  // The reader's end: its last tree and what its recycler keeps are freed on its thread.
  void EndReading(std::unique_lock<std::mutex>& lock);

  TfrxPreviewPages& pages_;
  const size_t max_queued_;
  // The filling thread's own.
  bool active_ = false;    // the final pass began on an empty store and nothing changed
  bool closed_ = false;    // Close(true) handed everything out
  bool changed_ = false;   // a complete page changed, or the pass began on pages kept
  bool decided_ = false;   // who rebuilds was decided
  int last_appended_ = -1;
  int completed_ = 0;      // pages 0 .. completed_ - 1 are complete
  int built_ = 0;          // pages 0 .. built_ - 1 were handed out
  int count_ = 0;
  // Used by the thread that rebuilds: the filling thread, or the reader (from the first
  // call of Next after reader_rebuilds_ was set; the filling thread only after the reader
  // stopped calling Next).
  PreparedObjectRecycler recycler_;

  // Shared with the reader, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool reader_rebuilds_ = false;
  std::deque<Handed> queue_;
  std::vector<std::unique_ptr<TfrxReportPage>> returned_;  // trees for the filling thread
  std::unique_ptr<TfrxReportPage> reading_;  // the reader's current tree
  bool reading_own_ = false;  // reading_ was rebuilt by the reader
  bool rebuilding_ = false;   // the reader is rebuilding a page from its item
  bool failed_ = false;       // a rebuild of the reader's failed
  bool ended_ = false;        // no pages come after those queued
  bool abandoned_ = false;    // the reader gets nothing more
  size_t reused_ = 0;         // the recycler's count after the last rebuild
};

}  // namespace lgoty::report
