// The pages of a sequence (rebuilt ahead on a thread) are the pages Page builds, with the
// page items swapped out and in as the file cache wants, and a saved report does not
// change by being read through a sequence.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/stream.h"
#include "report/prepared_pages_sequence.h"
#include "tests/report/prepared_run.h"
#include "tests/report/tree_compare.h"

namespace lgoty::report {
namespace {

namespace fs = std::filesystem;
using testing::PreparedRun;
using testing::Saved;

// Every page of the sequence against the page Page builds for the same index, in a second
// run made the same way.
void ExpectSequenceIsPages(PreparedRun& through_sequence, PreparedRun& through_page) {
  TfrxPageSequence sequence(through_sequence.pages());
  ASSERT_EQ(sequence.Count(), through_page.pages().Count());
  int visited = 0;
  while (TfrxReportPage* page = sequence.Next()) {
    SCOPED_TRACE("page " + std::to_string(sequence.Index()));
    ASSERT_EQ(sequence.Index(), visited);
    testing::ExpectSameTree(*through_page.pages().Page(visited), *page);
    ++visited;
  }
  EXPECT_EQ(visited, sequence.Count());
  EXPECT_EQ(sequence.Next(), nullptr);  // stays at the end
}

TEST(PreparedPageSequence, GivesEveryPageOnceInOrderAsPageBuildsIt) {
  PreparedRun a, b;
  a.Build(7, 4);
  b.Build(7, 4);
  const std::string before = Saved(a.pages());
  ExpectSequenceIsPages(a, b);
  EXPECT_EQ(Saved(a.pages()), before);
  // Texts as the run stored them, on the last page too.
  TfrxPageSequence again(a.pages());
  std::string last_text;
  while (TfrxReportPage* page = again.Next()) {
    last_text = static_cast<TfrxMemoView*>(page->Object(4)->Object(0))->Text();
  }
  EXPECT_EQ(last_text, "Person 27");
}

TEST(PreparedPageSequence, PagesSwappedToTheFileCacheComeBackAndGoBack) {
  const fs::path dir = fs::path(LGOTY_BINARY_DIR) / "test_scratch" / "prepared_sequence";
  fs::remove_all(dir);
  fs::create_directories(dir);
  {
    PreparedRun a, b;
    for (PreparedRun* run : {&a, &b}) {
      run->report.engine_options.use_file_cache = true;
      run->report.engine_options.max_mem_size = 1;
      run->report.engine_options.temp_dir = dir.string();
      run->report.preview_options.pages_in_cache = 2;
      run->Build(300, 30);  // well over a megabyte of items: most pages are swapped out
    }
    const size_t held_before = a.pages().HeldBytes();
    const std::string before = Saved(a.pages());
    ExpectSequenceIsPages(a, b);
    // The items the sequence swapped in went back to the file.
    EXPECT_LE(a.pages().HeldBytes(), held_before + 200'000);
    EXPECT_EQ(Saved(a.pages()), before);
  }
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST(PreparedPageSequence, LeftEarlyItWaitsForThePageBeingBuilt) {
  PreparedRun a;
  a.Build(5, 3);
  {
    TfrxPageSequence sequence(a.pages());
    ASSERT_NE(sequence.Next(), nullptr);  // page 1 is being built when the sequence ends
  }
  // The store is whole and usable afterwards.
  EXPECT_EQ(static_cast<TfrxMemoView*>(a.pages().Page(1)->Object(1)->Object(0))->Text(),
            "Person 3");
  TfrxReport empty_report;
  TfrxPageSequence empty(empty_report.PreviewPages());
  EXPECT_EQ(empty.Count(), 0);
  EXPECT_EQ(empty.Next(), nullptr);
}

TEST(PreparedPageSequence, ASequenceLeftHalfWayLeavesTheNextOneWholePages) {
  PreparedRun a, b;
  a.Build(12, 5);
  b.Build(12, 5);
  for (int read : {1, 2, 3}) {
    TfrxPageSequence partial(a.pages());
    for (int i = 0; i < read; ++i) ASSERT_NE(partial.Next(), nullptr);
  }
  ExpectSequenceIsPages(a, b);
  // Read to the end and past it, then ended: nothing is held twice or lost.
  TfrxPageSequence to_end(a.pages());
  while (to_end.Next()) {
  }
  EXPECT_EQ(to_end.Next(), nullptr);
  EXPECT_EQ(to_end.Index(), to_end.Count() - 1);
  ExpectSequenceIsPages(a, b);
}

}  // namespace
}  // namespace lgoty::report
