// A run's pages handed to a reader on another thread while the run goes on filling the
// store: the reader rebuilds them (or gets trees the filling thread rebuilt, when the file
// cache may swap items out) and gets exactly the pages Page builds after the same run,
// while the run adds aliases, source objects and pictures that later pages use, moves rows
// on to the next page and rebuilds pages itself. A change to a page handed out, or items
// about to be swapped out under the reader, abandon the feed (after a rebuild in progress
// ended); the store is then what it would be without a feed.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "report/prepared_pages_feed.h"
#include "tests/report/prepared_run.h"
#include "tests/report/tree_compare.h"

namespace lgoty::report {
namespace {

using testing::PreparedRun;

// How a run fills its store, page by page; the reference run is filled the same way.
struct Script {
  int pages = 7;
  int rows = 5;
  // A picture on every row, of one of `pictures` kinds: the picture cache grows while the
  // pages before are rebuilt, and equal pictures share their index.
  int pictures = 0;
  // A memo made during the run on every page: stored by class, then added to the source
  // pages (a new alias, a new object of the last source page) and stored under its alias.
  bool run_time_objects = false;
  // The last two rows of every page but the last are cut and pasted onto the next page.
  bool move_rows = false;
  // The filling thread rebuilds the page before the current one itself (Page during a run).
  bool read_back = false;
  // Called after every page is filled, before the next is added (the run's own steps).
  std::function<void(PreparedRun&, int page)> after_page;
};

class ScriptedRun {
 public:
  explicit ScriptedRun(const Script& script) : script_(script) {
    if (script.pictures > 0) {
      picture_ = run_.band->Add(std::make_unique<TfrxPictureView>());
      picture_->SetName("Photo");
      picture_->SetBounds(400, 0, 20, 20);
    }
  }

  PreparedRun& Run() { return run_; }
  TfrxPreviewPages& Pages() { return run_.pages(); }

  void Start() { run_.Start(); }

  void Pass(const std::function<void(int page)>& read_back = nullptr) {
    TfrxPreviewPages& pages = Pages();
    pages.BeginPass();
    int row = 0;
    pages.AddPage(run_.page);
    for (int p = 0; p < script_.pages; ++p) {
      if (p > 0) {
        const bool move = script_.move_rows && pages.GetCurPosition() > 3;
        if (move) pages.CutObjects(pages.GetCurPosition() - 2);
        pages.AddPage(run_.page);
        if (move) pages.PasteObjects(0, 40);
      }
      run_.header->SetTop(0);
      pages.AddObject(run_.header);
      for (int r = 0; r < script_.rows; ++r, ++row) {
        run_.band->SetTop(40 + 20.0 * r + (row % 3));
        run_.name->SetText("Person " + std::to_string(row) + (row % 4 == 0 ? "\r\nsecond" : ""));
        run_.sum->SetText(std::to_string(row * 10) + ",50");
        run_.sum->SetWidth(100 + row % 5);
        if (picture_) picture_->Picture().data = "PICTURE-" + std::to_string(row % script_.pictures);
        pages.AddObject(run_.band);
      }
      if (script_.run_time_objects) {
        auto made = std::make_unique<TfrxMemoView>();
        made->SetBounds(10 + p, 700, 200, 20);
        made->SetText("made on page " + std::to_string(p));
        pages.AddObject(made.get());
        pages.AddToSourcePage(made.get());
        made->SetText("then stored under its alias " + std::to_string(p));
        made->SetTop(730);
        pages.AddObject(made.get());
        made_.push_back(std::move(made));
      }
      if (read_back && p > 0) read_back(p - 1);
      if (script_.after_page) script_.after_page(run_, p);
    }
    pages.ResetLogicalPageNumber();
  }

  void End() {
    run_.engine.running = false;
    Pages().Finish();
  }

  // The run without a feed.
  void Build() {
    Start();
    Pass();
    End();
  }

 private:
  Script script_;
  PreparedRun run_;
  TfrxPictureView* picture_ = nullptr;
  std::vector<std::unique_ptr<TfrxMemoView>> made_;  // linked to their source copies
};

// The reading thread: takes every page the feed hands out and compares it with the
// reference run's page (the reference store is used by this thread alone).
class Reader {
 public:
  Reader(TfrxPageFeed& feed, TfrxPreviewPages& reference)
      : feed_(feed), reference_(reference), thread_([this] { Read(); }) {}
  ~Reader() { Join(); }

  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  // Waits until the reader took n pages, or got the end.
  void WaitFor(int n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_ || static_cast<int>(indexes_.size()) >= n; });
  }
  // After Join.
  const std::vector<int>& Indexes() const { return indexes_; }
  bool Closed() const { return closed_; }

 private:
  void Read() {
    for (TfrxPageFeed::FedPage fed = feed_.Next(); fed.page; fed = feed_.Next()) {
      {
        SCOPED_TRACE("page " + std::to_string(fed.index));
        if (fed.index < reference_.Count()) {
          testing::ExpectSameTree(*reference_.Page(fed.index), *fed.page);
        } else {
          ADD_FAILURE() << "no such page in the reference run";
        }
      }
      std::lock_guard lock(mutex_);
      indexes_.push_back(fed.index);
      changed_.notify_all();
    }
    closed_ = feed_.Closed();
    std::lock_guard lock(mutex_);
    ended_ = true;
    changed_.notify_all();
  }

  TfrxPageFeed& feed_;
  TfrxPreviewPages& reference_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> indexes_;
  bool ended_ = false;
  bool closed_ = false;
  std::thread thread_;
};

void ExpectInOrderFromZero(const std::vector<int>& indexes) {
  for (size_t i = 0; i < indexes.size(); ++i) EXPECT_EQ(indexes[i], static_cast<int>(i));
}

struct FedRun {
  bool reader_rebuilds = false;
  bool intact = false;
  bool closed = false;
  std::vector<int> indexes;
  size_t reused = 0;
};

// Runs `fed` with a feed and a reader comparing against `reference` (built already).
// with_read_back: the filling thread also rebuilds the page before the current one and
// compares it with `read_back_reference`'s.
FedRun RunWithFeed(ScriptedRun& fed, ScriptedRun& reference, ScriptedRun* read_back_reference,
                   const std::function<void(TfrxPreviewPages&)>& after_close = nullptr) {
  FedRun out;
  TfrxPageFeed feed(fed.Pages());
  {
    Reader reader(feed, reference.Pages());
    fed.Start();
    std::function<void(int)> read_back;
    if (read_back_reference) {
      read_back = [&](int index) {
        SCOPED_TRACE("read back page " + std::to_string(index));
        testing::ExpectSameTree(*read_back_reference->Pages().Page(index),
                                *fed.Pages().Page(index));
      };
    }
    fed.Pass(read_back);
    fed.End();
    feed.Close(true);
    if (after_close) after_close(fed.Pages());
    reader.Join();
    out.indexes = reader.Indexes();
    out.closed = reader.Closed();
  }
  out.reader_rebuilds = feed.ReaderRebuilds();
  out.intact = feed.Intact();
  out.reused = feed.ReusedCount();
  return out;
}

TEST(PreparedPageFeed, TheReaderRebuildsEveryPageAsPageBuildsItAfterTheRun) {
  for (const bool move_rows : {false, true}) {
    SCOPED_TRACE(move_rows ? "rows moved on" : "rows in place");
    Script script;
    script.pages = 9;
    script.move_rows = move_rows;
    ScriptedRun fed(script), reference(script);
    reference.Build();
    FedRun out = RunWithFeed(fed, reference, nullptr);
    EXPECT_TRUE(out.reader_rebuilds);
    EXPECT_TRUE(out.intact);
    EXPECT_TRUE(out.closed);
    ASSERT_EQ(static_cast<int>(out.indexes.size()), reference.Pages().Count());
    ExpectInOrderFromZero(out.indexes);
    EXPECT_GT(out.reused, 0u);  // the reader's recycler served the later pages
    // Following the run changed nothing in what it stored.
    EXPECT_EQ(testing::Saved(fed.Pages()), testing::Saved(reference.Pages()));
  }
}

TEST(PreparedPageFeed, AliasesSourceObjectsAndPicturesAddedWhileThePagesBeforeAreRebuilt) {
  Script script;
  script.pages = 12;
  script.pictures = 4;
  script.run_time_objects = true;
  script.read_back = true;
  ScriptedRun fed(script), reference(script), read_back_reference(script);
  reference.Build();
  read_back_reference.Build();
  FedRun out = RunWithFeed(fed, reference, &read_back_reference);
  EXPECT_TRUE(out.reader_rebuilds);
  EXPECT_TRUE(out.intact);
  ASSERT_EQ(static_cast<int>(out.indexes.size()), reference.Pages().Count());
  ExpectInOrderFromZero(out.indexes);
  EXPECT_EQ(fed.Pages().PictureCache().Count(), 4);
  EXPECT_EQ(fed.Pages().SourcePageCount(), 1);
  EXPECT_EQ(testing::Saved(fed.Pages()), testing::Saved(reference.Pages()));
}

TEST(PreparedPageFeed, WithTheFileCacheTheFillingThreadRebuildsAndSwaps) {
  Script script;
  script.pages = 10;
  script.pictures = 2;
  script.run_time_objects = true;
  ScriptedRun fed(script), reference(script);
  for (ScriptedRun* run : {&fed, &reference}) {
    run->Run().report.engine_options.use_file_cache = true;
    run->Run().report.engine_options.max_mem_size = 0;  // every finished page leaves memory
  }
  reference.Build();
  FedRun out = RunWithFeed(fed, reference, nullptr);
  EXPECT_FALSE(out.reader_rebuilds);
  EXPECT_TRUE(out.intact);
  EXPECT_EQ(static_cast<int>(out.indexes.size()), reference.Pages().Count());
  ExpectInOrderFromZero(out.indexes);
}

TEST(PreparedPageFeed, AChangeToAPageHandedOutAbandonsTheReaderAfterItsRebuild) {
  // The run goes back to page 1 once the reader has taken a page, and places a band
  // there: the reader may be rebuilding page 1 or 2 right then. Every page it got is the
  // page as it was (the reference run makes no such change), and then it gets the end.
  Script script;
  script.pages = 8;
  script.run_time_objects = true;
  ScriptedRun reference(script);
  reference.Build();
  Reader* reader_of_run = nullptr;
  script.after_page = [&](PreparedRun& run, int page) {
    if (page != 3) return;
    reader_of_run->WaitFor(1);
    const int last = run.pages().CurPage();
    run.pages().SetCurPage(1);
    run.band->SetTop(500);
    run.pages().AddObject(run.band);
    run.pages().SetCurPage(last);
  };
  ScriptedRun fed(script);
  TfrxPageFeed feed(fed.Pages());
  {
    Reader reader(feed, reference.Pages());
    reader_of_run = &reader;
    fed.Start();
    fed.Pass();
    fed.End();
    feed.Close(true);
    reader.Join();
    EXPECT_FALSE(reader.Closed());
    EXPECT_GE(reader.Indexes().size(), 1u);
    EXPECT_LE(reader.Indexes().size(), 3u);  // page 3 was not complete yet
    ExpectInOrderFromZero(reader.Indexes());
  }
  EXPECT_FALSE(feed.Intact());
  // The store holds the band on page 1, as without a feed.
  EXPECT_EQ(fed.Pages().PageItem(1)->Count(), reference.Pages().PageItem(1)->Count() + 1);
}

TEST(PreparedPageFeed, ChangesAfterTheCloseAndItemsSwappedOutUnderTheReaderAbandonIt) {
  Script script;
  script.pages = 6;
  ScriptedRun reference(script);
  reference.Build();

  // A page deleted after the run ended, while the reader may still be rebuilding.
  {
    ScriptedRun fed(script);
    FedRun out = RunWithFeed(fed, reference, nullptr,
                             [](TfrxPreviewPages& pages) { pages.DeletePage(0); });
    EXPECT_TRUE(out.reader_rebuilds);
    EXPECT_FALSE(out.intact);
    ExpectInOrderFromZero(out.indexes);
    EXPECT_EQ(fed.Pages().Count(), reference.Pages().Count() - 1);
  }

  // The file cache switched on during the run: the items of complete pages are about to
  // leave memory while the reader rebuilds them, so the feed stops before that.
  {
    Script switching = script;
    switching.after_page = [](PreparedRun& run, int page) {
      if (page != 2) return;
      run.report.engine_options.use_file_cache = true;
      run.report.engine_options.max_mem_size = 0;
    };
    ScriptedRun fed(switching);
    FedRun out = RunWithFeed(fed, reference, nullptr);
    EXPECT_TRUE(out.reader_rebuilds);
    EXPECT_FALSE(out.intact);
    EXPECT_FALSE(out.closed);
    ExpectInOrderFromZero(out.indexes);
    EXPECT_LE(out.indexes.size(), 3u);
    // The swapped store still rebuilds every page as the reference.
    ASSERT_EQ(fed.Pages().Count(), reference.Pages().Count());
    for (int i = 0; i < fed.Pages().Count(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i));
      testing::ExpectSameTree(*reference.Pages().Page(i), *fed.Pages().Page(i));
    }
  }
}

}  // namespace
}  // namespace lgoty::report
