// TfrxPageSequence: the prepared pages one after another, for a reader that visits every
// page once and in order (PDF and image export). While the caller draws page N, page N + 1
// is rebuilt from its item on a thread of its own; on a machine with a second core the
// export then takes about as long as the longer of drawing and rebuilding instead of both.
//
// Threads: the rebuilding thread reads the page's item, the dictionary, the source pages
// and the picture cache, and compiles references (all of the store); the calling thread
// meanwhile only uses trees the sequence handed out. So while a sequence lives nothing
// else may use the store (no Page, no editing, no run), and the trees are the sequence's:
// they do not enter the store's page cache.
#pragma once

#include <future>
#include <memory>

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

 private:
  // Starts rebuilding page index on the thread.
  void Start(int index);

  TfrxPreviewPages& pages_;
  int count_ = 0;
  int index_ = -1;
  std::unique_ptr<TfrxReportPage> current_;
  std::future<std::unique_ptr<TfrxReportPage>> next_;
};

}  // namespace lgoty::report
