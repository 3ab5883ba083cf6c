#include "report/prepared_pages_sequence.h"

#include "report/pages.h"
#include "report/prepared_pages.h"

namespace lgoty::report {

TfrxPageSequence::TfrxPageSequence(TfrxPreviewPages& pages) : pages_(pages) {
  count_ = pages_.Count();
  // Built pages of the cache may be handed out by Page later; the sequence keeps its own.
  if (count_ > 0) Start(0);
}

TfrxPageSequence::~TfrxPageSequence() {
  if (!next_.valid()) return;
  try {
    next_.get();
  } catch (...) {
    // The failure of a page nobody asked for any more.
  }
  if (index_ + 1 < count_) pages_.ReleasePageItem(index_ + 1);
}

void TfrxPageSequence::Start(int index) {
  // The item is swapped in here, on the calling thread: the document's temporary file is
  // not the rebuilding thread's to touch.
  core::TfrxXMLItem* item = pages_.PageItem(index);
  next_ = std::async(std::launch::async, [this, item] { return pages_.BuildPage(item); });
}

TfrxReportPage* TfrxPageSequence::Next() {
  if (index_ + 1 >= count_) {
    current_.reset();
    return nullptr;
  }
  std::unique_ptr<TfrxReportPage> page = next_.get();
  ++index_;
  pages_.ReleasePageItem(index_);
  if (index_ + 1 < count_) Start(index_ + 1);
  // The previous page is freed while the next one is being built: its objects are its own
  // and nothing of the store is touched.
  current_ = std::move(page);
  return current_.get();
}

}  // namespace lgoty::report
