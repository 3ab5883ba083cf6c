// TfrxPageSequence: the prepared pages one after another, for a reader that visits every
// page once and in order (PDF and image export). While the caller draws page N, page N + 1
// is rebuilt from its item on a thread of its own, and page N - 1 is freed there too; on a
// machine with a second core the export then takes about as long as the longer of drawing
// and rebuilding instead of both.
//
// One thread serves the whole sequence: a page's objects are made and freed on the same
// thread (the allocator then keeps them in that thread's own pools, and the drawing thread
// never waits on the rebuilding thread's memory), and no thread is started per page.
//
// The memos of a freed page are not freed but kept by the rebuilding thread's
// PreparedObjectRecycler (report/prepared_object_recycler.h) and set up again for the next
// pages, which saves making and freeing most objects of every page. A tree handed out may
// therefore be changed by its reader only in ways it undoes before the next call of Next
// (as the export's drawing does with page markers in memo texts).
//
// Threads: the rebuilding thread reads the page's item, the dictionary, the source pages
// and the picture cache, and compiles references (all of the store), and alone uses the
// recycler; the calling thread meanwhile only uses trees the sequence handed out. So while
// a sequence lives nothing else may use the store (no Page, no editing, no run), and the
// trees are the sequence's: they do not enter the store's page cache.
#pragma once

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "report/prepared_object_recycler.h"

namespace lgoty::core {
class TfrxXMLItem;
}

namespace lgoty::report {

class TfrxPreviewPages;
class TfrxReportPage;

class TfrxPageSequence {
 public:
  // REQUIRES pages outlives the sequence and is used by nothing else meanwhile.
  explicit TfrxPageSequence(TfrxPreviewPages& pages);
  // Waits for a page still being rebuilt.
  ~TfrxPageSequence();
  TfrxPageSequence(const TfrxPageSequence&) = delete;
  TfrxPageSequence& operator=(const TfrxPageSequence&) = delete;

  int Count() const { return count_; }
  // The tree of the next page, valid until the next call of Next or the sequence's end;
  // nullptr after the last page. A rebuild that failed throws here, on the caller's thread.
  TfrxReportPage* Next();
  // The index of the page Next returned last; -1 before the first.
  int Index() const { return index_; }
  // The memos reused for the pages built so far, instead of made anew.
  size_t ReusedCount();

 private:
  // Hands the rebuilding thread page index's item, and the page to free before it.
  void Start(int index, std::unique_ptr<TfrxReportPage> done_with);
  // Waits for the page asked for last and takes it (or its failure).
  std::unique_ptr<TfrxReportPage> Take();
  void Work();

  TfrxPreviewPages& pages_;
  int count_ = 0;
  int index_ = -1;
  std::unique_ptr<TfrxReportPage> current_;

  // Shared with the rebuilding thread, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  core::TfrxXMLItem* asked_ = nullptr;    // the item to rebuild next; nullptr: none
  std::unique_ptr<TfrxReportPage> free_;  // a page to free
  std::unique_ptr<TfrxReportPage> built_;
  std::exception_ptr failure_;
  bool ready_ = false;     // built_ or failure_ holds the answer to the last question
  bool pending_ = false;   // a question is asked and not yet taken
  bool stopping_ = false;
  size_t reused_ = 0;      // the recycler's count after the last page built
  std::thread worker_;
  // The rebuilding thread's alone (made before it starts, emptied by it before it ends).
  PreparedObjectRecycler recycler_;
};

}  // namespace lgoty::report
