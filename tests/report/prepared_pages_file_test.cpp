// Prepared report files: saving and loading give the same pages, damaged files give the
// reader's message and leave the store empty, and the file cache keeps a long run's
// memory flat and leaves no temporary file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "core/stream.h"
#include "core/xml_document.h"
#include "platform/file.h"
#include "prepared_run.h"
#include "tree_compare.h"

namespace lgoty::report {
namespace {

namespace fs = std::filesystem;
using testing::PreparedRun;
using testing::Saved;

// A folder of its own under the build tree, emptied first.
fs::path ScratchFolder(const std::string& name) {
  fs::path dir = fs::path(LGOTY_BINARY_DIR) / "test_scratch" / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

void ExpectSamePages(TfrxPreviewPages& a, TfrxPreviewPages& b) {
  ASSERT_EQ(a.Count(), b.Count());
  for (int i = 0; i < a.Count(); ++i) {
    core::TfrxXMLItem* ia = a.PageItem(i);
    core::TfrxXMLItem* ib = b.PageItem(i);
    EXPECT_EQ(ia->Name(), ib->Name()) << "page " << i;
    ASSERT_EQ(ia->Count(), ib->Count()) << "page " << i;
    for (int k = 0; k < ia->Count(); ++k) {
      EXPECT_EQ(ia->Items(k)->Name(), ib->Items(k)->Name());
      EXPECT_EQ(ia->Items(k)->Text(), ib->Items(k)->Text());
    }
    testing::ExpectSameTree(*a.Page(i), *b.Page(i));
  }
}

TEST(PreparedReportFile, OnePageSavedAndLoadedShowsTheSamePage) {
  PreparedRun run;
  run.Build(1, 2);
  std::string bytes = Saved(run.pages());
  EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u);
  EXPECT_NE(bytes.find("<previewpages><page0>"), std::string::npos);
  EXPECT_NE(bytes.find("<dictionary><b1 name=\"Page0.PageHeader1\"/>"), std::string::npos);
  // The file's sections do not stay in the store's memory.
  EXPECT_EQ(run.pages().Document().Root()->Find("sourcepages"), -1);

  TfrxReport other;
  core::TMemoryStream stream(bytes);
  other.PreviewPages().LoadFromStream(stream);
  core::TfrxXMLItem* pages = other.PreviewPages().Document().Root()->FindItem("previewpages");
  ASSERT_EQ(pages->Count(), 1);
  EXPECT_EQ(pages->Items(0)->Name(), "page0");
  ExpectSamePages(run.pages(), other.PreviewPages());
  // Saved again, the file is the same.
  EXPECT_EQ(Saved(other.PreviewPages()), bytes);
}

TEST(PreparedReportFile, PagesPicturesAnchorsAndOptionsSurviveAFile) {
  PreparedRun run;
  auto* logo = run.header->Add(std::make_unique<TfrxPictureView>());
  logo->SetName("Logo");
  logo->SetBounds(600, 0, 50, 30);
  run.report.report_options.name = "Register";
  run.report.preview_options.outline_visible = true;
  run.Start();
  run.pages().BeginPass();
  for (int p = 0; p < 3; ++p) {
    run.pages().AddPage(run.page);
    logo->Picture().data = std::string("\x89PNG\r\n\x1a\n", 8) + std::to_string(p % 2);
    run.pages().AddObject(run.header);
    run.pages().AddAnchor("Page " + std::to_string(p));
  }
  run.engine.running = false;
  run.pages().Finish();
  // Two different pictures, each held once.
  EXPECT_EQ(run.pages().PictureCache().Count(), 2);
  EXPECT_EQ(run.pages().PageItem(2)->Items(0)->Items(1)->Text().find("PropData"),
            std::string::npos);

  fs::path dir = ScratchFolder("prepared_file");
  std::string path = (dir / "list.fp3").string();
  run.pages().SaveToFile(path);

  TfrxReport other;
  ASSERT_TRUE(other.PreviewPages().LoadFromFile(path));
  ExpectSamePages(run.pages(), other.PreviewPages());
  auto* picture = dynamic_cast<TfrxPictureView*>(other.PreviewPages().Page(2)->Object(0)->Object(1));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Picture().data, std::string("\x89PNG\r\n\x1a\n", 8) + "0");
  EXPECT_EQ(other.PreviewPages().GetAnchorPage("page 1"), 2);
  EXPECT_EQ(other.report_options.name, "Register");
  EXPECT_TRUE(other.preview_options.outline_visible);

  // Partial loading keeps the page items in a temporary copy and gives the same pages.
  TfrxReport partial;
  ASSERT_TRUE(partial.PreviewPages().LoadFromFile(path, false, true));
  ExpectSamePages(run.pages(), partial.PreviewPages());
}

TEST(PreparedReportFile, MissingFileLoadsNothingUnlessAnErrorIsAskedFor) {
  PreparedRun run;
  run.Build(2, 1);
  fs::path dir = ScratchFolder("prepared_missing");
  std::string path = (dir / "absent.fp3").string();
  EXPECT_FALSE(run.pages().LoadFromFile(path));
  EXPECT_EQ(run.pages().Count(), 0);
  EXPECT_EQ(run.pages().SourcePageCount(), 0);
  EXPECT_THROW(run.pages().LoadFromFile(path, true), platform::EFileError);
}

TEST(PreparedReportFile, DamagedFilesGiveTheReaderMessageAndAnEmptyStore) {
  PreparedRun run;
  run.Build(2, 2);
  std::string good = Saved(run.pages());
  const std::vector<std::string> damaged = {
      good.substr(0, good.size() / 2),                // cut in the middle
      good.substr(0, good.find("<previewpages>") + 7),  // cut inside a tag
      "no xml at all",
      "<?xml version=\"1.0\"?><preparedreport><previewpages></preparedreport>",
  };
  for (const std::string& bytes : damaged) {
    TfrxReport report;
    TfrxPreviewPages& pages = report.PreviewPages();
    core::TMemoryStream stream(bytes);
    try {
      pages.LoadFromStream(stream);
      ADD_FAILURE() << "loaded: " << bytes.substr(0, 60);
    } catch (const core::TfrxInvalidXMLException& e) {
      EXPECT_STREQ(e.what(), "Invalid file format");
    }
    EXPECT_EQ(pages.Count(), 0);
    EXPECT_EQ(pages.SourcePageCount(), 0);
  }
}

TEST(PreparedReportFile, WellFormedNonsenseLoadsWithoutHarm) {
  // Aliases without objects, pages of source pages that do not exist, numbers that are no
  // numbers, and objects of unknown classes.
  const std::string bytes =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?><preparedreport>"
      "<previewpages><page7><m1 l=\"x\" t=\"1e999\"/><TfrxNoSuchView/></page7>"
      "<page0><m1 l=\"12,5\"><TfrxMemoView Text=\"&#9999999;\"/></m1><TfrxReport/>"
      "<TfrxReportPage/></page0><pageABC/><TfrxReportPage Name=\"1 bad\"><Junk/>"
      "</TfrxReportPage></previewpages>"
      "<sourcepages><TfrxReportPage Name=\"Page1\"><TfrxMemoView Name=\"Memo1\" Left=\"3\"/>"
      "</TfrxReportPage></sourcepages>"
      "<dictionary><m1 name=\"Page0.Memo1\"/><m2 name=\"Page99999.X\"/><m3 name=\"\"/>"
      "</dictionary><logicalpagenumbers><page n=\"q\" t=\"99999999999\"/></logicalpagenumbers>"
      "<anchors><item text=\"a\" page=\"-5\" top=\"z\"/></anchors>"
      "<picturecache><item stream=\"XYZ\"/></picturecache>"
      "<report><TfrxReport ReportOptions.Name=\"n\" ScriptText.Text=\"evil\"/></report>"
      "</preparedreport>";
  TfrxReport report;
  TfrxPreviewPages& pages = report.PreviewPages();
  core::TMemoryStream stream(bytes);
  pages.LoadFromStream(stream);
  ASSERT_EQ(pages.Count(), 4);
  for (int i = 0; i < pages.Count(); ++i) {
    pages.SetCurPage(i);
    pages.Page(i);
    pages.PageSize(i);
    pages.GetLogicalPageNo();
    pages.GetLogicalTotalPages();
  }
  EXPECT_EQ(pages.Page(1)->ObjectCount(), 1);
  EXPECT_EQ(pages.Page(1)->Object(0)->Left(), 12.5);
  EXPECT_EQ(pages.GetAnchorPage("A"), 1);
  EXPECT_EQ(report.report_options.name, "n");
  EXPECT_EQ(report.script_text.Text(), TfrxReport().script_text.Text());  // only four options
}

TEST(PreparedReportFile, FileCacheKeepsALongRunFlatAndCleansUp) {
  fs::path dir = ScratchFolder("prepared_cache");
  size_t held_at_500 = 0, held_at_2000 = 0, held_without_cache = 0, max_held = 0;
  {
    PreparedRun run;
    run.report.engine_options.use_file_cache = true;
    run.report.engine_options.max_mem_size = 1;
    run.report.engine_options.temp_dir = dir.string();
    run.report.preview_options.pages_in_cache = 5;
    run.Start();
    run.pages().BeginPass();
    for (int p = 0; p < 2000; ++p) {
      run.pages().AddPage(run.page);
      run.pages().AddObject(run.header);
      for (int r = 0; r < 30; ++r) {
        run.band->SetTop(30 + 20.0 * r);
        run.name->SetText("Person " + std::to_string(p * 30 + r));
        run.sum->SetText(std::to_string(r) + ",50");
        run.pages().AddObject(run.band);
      }
      if (p == 499) held_at_500 = run.pages().HeldBytes();
      if (p % 100 == 99) max_held = std::max(max_held, run.pages().HeldBytes());
    }
    held_at_2000 = run.pages().HeldBytes();
    run.engine.running = false;
    run.pages().Finish();
    // The unloaded pages live in one temporary file in TempDir.
    EXPECT_EQ(FilesIn(dir).size(), 1u);
    // An unloaded page comes back whole.
    TfrxReportPage* page = run.pages().Page(1234);
    EXPECT_EQ(static_cast<TfrxMemoView*>(page->Object(30)->Object(0))->Text(), "Person 37049");
    for (int i = 0; i < 2000; i += 97) run.pages().Page(i);
    // Pages leaving the page cache go back to the file: what stays is the five built pages
    // of 92 objects each (about 100 KB apiece), not the 21 pages visited.
    EXPECT_LE(run.pages().HeldBytes(), held_at_2000 + 700'000);
  }
  EXPECT_TRUE(FilesIn(dir).empty());
  {
    PreparedRun run;
    run.Build(500, 30);
    held_without_cache = run.pages().HeldBytes();
  }
  std::printf("held: 500 pages %zu, 2000 pages %zu, max %zu; 500 pages without cache %zu\n",
              held_at_500, held_at_2000, max_held, held_without_cache);
  // The store never holds more than a quarter of what 500 pages take without the cache.
  EXPECT_LT(max_held, held_without_cache / 4);
}

}  // namespace
}  // namespace lgoty::report
