// The prepared-pages store as the band engine fills it and the preview reads it: aliases,
// pages stored as differences and rebuilt, anchors, logical page numbers, the passes of a
// double-pass run, cutting and pasting, the outline, editing and the page cache.
#include <gtest/gtest.h>

#include <random>

#include "core/locale.h"
#include "core/xml_document.h"
#include "prepared_run.h"
#include "report/prepared_dictionary.h"

namespace lgoty::report {
namespace {

using testing::PreparedRun;

TEST(PreparedDictionary, AliasesTakeTheNumberFoundByHalvingThenCountingUp) {
  TfrxDictionary dictionary;
  EXPECT_EQ(dictionary.CreateUniqueName("m"), "m1");
  for (int i = 1; i <= 3; ++i) dictionary.Add("m" + std::to_string(i), "Page0.Memo", nullptr);
  EXPECT_EQ(dictionary.CreateUniqueName("m"), "m4");
  EXPECT_EQ(dictionary.CreateUniqueName("b"), "b1");

  TfrxDictionary only_four;
  only_four.Add("m4", "Page0.Memo4", nullptr);
  // Halving stops at 4 (taken); counting up finds 5 although 1 to 3 are free.
  EXPECT_EQ(only_four.CreateUniqueName("m"), "m5");
}

// Find answers from a hash of the aliases; it must agree with the sorted list the store saves
// from, through additions, replacements, clearing, copies and moves.
TEST(PreparedDictionary, FindAgreesWithTheSortedEntriesThroughEveryChange) {
  auto agrees = [](const TfrxDictionary& dictionary, const std::vector<std::string>& probes) {
    for (const std::string& alias : probes) {
      const TfrxDictionary::Entry* found = dictionary.Find(alias);
      auto it = dictionary.Entries().find(alias);
      if (it == dictionary.Entries().end()) {
        if (found != nullptr) return ::testing::AssertionFailure() << alias << " found";
      } else if (found != &it->second) {
        return ::testing::AssertionFailure() << alias << " not the listed entry";
      }
    }
    return ::testing::AssertionSuccess();
  };
  std::vector<std::string> probes = {"", "m", "M1", "m01", "m1 ", "b", "x9"};
  TfrxDictionary dictionary;
  TfrxComponent* const fake = reinterpret_cast<TfrxComponent*>(&probes);
  for (int i = 1; i <= 300; ++i) {
    for (const char* prefix : {"m", "b", "p"}) {
      std::string alias = prefix + std::to_string(i * 7 % 301);
      probes.push_back(alias);
      probes.push_back(alias + "0");
      if (i % 3 == 0) dictionary.Add(alias, "Page0." + alias, nullptr);
    }
  }
  EXPECT_TRUE(agrees(dictionary, probes));
  const int count = dictionary.Count();
  dictionary.Add("m7", "Page1.Other", fake);  // replaces: same entry, new contents
  EXPECT_EQ(dictionary.Count(), count);
  ASSERT_NE(dictionary.Find("m7"), nullptr);
  EXPECT_EQ(dictionary.Find("m7")->source_name, "Page1.Other");
  EXPECT_EQ(dictionary.Find("m7")->object, fake);
  EXPECT_TRUE(agrees(dictionary, probes));

  TfrxDictionary copy(dictionary);
  dictionary.Add("zz1", "Page0.Z", nullptr);
  EXPECT_TRUE(agrees(copy, probes));
  EXPECT_EQ(copy.Find("zz1"), nullptr);
  EXPECT_NE(copy.Find("m7"), dictionary.Find("m7"));  // its own entries, not the original's
  TfrxDictionary assigned;
  assigned.Add("q1", "Page0.Q", nullptr);
  assigned = copy;
  EXPECT_EQ(assigned.Find("q1"), nullptr);
  EXPECT_TRUE(agrees(assigned, probes));

  TfrxDictionary moved(std::move(dictionary));
  EXPECT_TRUE(agrees(moved, probes));
  ASSERT_NE(moved.Find("zz1"), nullptr);
  copy = std::move(moved);
  EXPECT_TRUE(agrees(copy, probes));
  EXPECT_NE(copy.Find("zz1"), nullptr);

  copy.Clear();
  EXPECT_TRUE(agrees(copy, probes));
  EXPECT_EQ(copy.Find("m7"), nullptr);
  copy.Add("m7", "Page0.M", nullptr);
  EXPECT_TRUE(agrees(copy, probes));
  EXPECT_EQ(copy.CreateUniqueName("m"), "m1");  // halving reaches 1, which is free
}

TEST(PreparedPages, SourcePageGivesEveryPrintableObjectAnAlias) {
  PreparedRun run;
  run.sum->printable = false;  // not printed in preview: no copy, no alias
  run.Start();
  EXPECT_EQ(run.pages().AliasOf(run.header), "b1");
  EXPECT_EQ(run.pages().AliasOf(run.title), "m1");
  EXPECT_EQ(run.pages().AliasOf(run.band), "b2");
  EXPECT_EQ(run.pages().AliasOf(run.name), "m2");
  EXPECT_EQ(run.pages().AliasOf(run.sum), "");
  const TfrxDictionary::Entry* entry = run.pages().Dictionary().Find("m2");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->source_name, "Page0.Memo1");
  EXPECT_EQ(run.pages().SourcePage(0)->FindObject("Memo2"), nullptr);
}

TEST(PreparedPages, ObjectsAreStoredAsDifferencesAndRebuiltInFull) {
  PreparedRun run;
  run.Build(1, 2);
  TfrxPreviewPages& pages = run.pages();
  ASSERT_EQ(pages.Count(), 1);
  core::TfrxXMLItem* item = pages.PageItem(0);
  EXPECT_EQ(item->Name(), "page0");
  // The header as it was designed: nothing differs, so its item carries no attributes.
  ASSERT_EQ(item->Count(), 3);
  EXPECT_EQ(item->Items(0)->Name(), "b1");
  EXPECT_EQ(item->Items(0)->Text(), "");
  EXPECT_EQ(item->Items(0)->Items(0)->Name(), "m1");
  EXPECT_EQ(item->Items(0)->Items(0)->Text(), "");
  // A row: the band moved, the memos changed their texts only.
  const core::TfrxXMLItem* row = item->Items(2);
  EXPECT_EQ(row->Name(), "b2");
  EXPECT_EQ(row->Text(), "t=\"50\"");
  EXPECT_EQ(row->Items(1)->Text(), "Text=\"10,50\"");

  TfrxReportPage* built = pages.Page(0);
  ASSERT_EQ(built->ObjectCount(), 3);
  EXPECT_EQ(built->Name(), "Page1");
  auto* band = dynamic_cast<TfrxMasterData*>(built->Object(2));
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(band->Name(), "MasterData1");
  EXPECT_EQ(band->Top(), 50);
  auto* sum = dynamic_cast<TfrxMemoView*>(band->Object(1));
  ASSERT_NE(sum, nullptr);
  EXPECT_EQ(sum->Text(), "10,50");
  EXPECT_EQ(sum->halign, TfrxHAlign::haRight);  // from the source object
  EXPECT_EQ(sum->Left(), 200);
  EXPECT_EQ(pages.PageSize(0).width, 794);
  EXPECT_EQ(pages.PageSize(0).height, 1123);
  EXPECT_EQ(pages.PageSize(1).width, 0);
  EXPECT_EQ(pages.PageSize(-1).height, 0);
}

TEST(PreparedPages, ObjectCreatedByTheRunIsStoredByClassUntilAddedToSourcePages) {
  PreparedRun run;
  run.Start();
  run.pages().BeginPass();
  run.pages().AddPage(run.page);
  TfrxMemoView extra;
  extra.SetBounds(5, 6, 70, 8);
  extra.SetText("made at run time");
  run.pages().AddObject(&extra);
  run.pages().AddToSourcePage(&extra);
  extra.SetText("second copy");
  run.pages().AddObject(&extra);
  core::TfrxXMLItem* item = run.pages().PageItem(0);
  ASSERT_EQ(item->Count(), 2);
  EXPECT_EQ(item->Items(0)->Name(), "TfrxMemoView");
  EXPECT_NE(item->Items(0)->Text().find("l=\"5\""), std::string::npos);
  EXPECT_EQ(item->Items(1)->Name(), "m4");
  EXPECT_EQ(item->Items(1)->Text(), "Text=\"second copy\"");
  run.engine.running = false;
  TfrxReportPage* page = run.pages().Page(0);
  ASSERT_EQ(page->ObjectCount(), 2);
  EXPECT_EQ(static_cast<TfrxMemoView*>(page->Object(0))->Text(), "made at run time");
  EXPECT_EQ(static_cast<TfrxMemoView*>(page->Object(1))->Text(), "second copy");
  EXPECT_EQ(page->Object(1)->Width(), 70);
}

TEST(PreparedPages, InvisibleAndNonPreviewObjectsAreNotStored) {
  PreparedRun run;
  run.name->SetVisible(false);
  run.sum->visibility = visibility::vsPrint;
  run.Build(1, 1);
  const core::TfrxXMLItem* row = run.pages().PageItem(0)->Items(1);
  EXPECT_EQ(row->Count(), 0);
}

TEST(PreparedPages, AnchorsLeadToTheirPageAndShiftDown) {
  PreparedRun run;
  run.Start();
  run.pages().BeginPass();
  EXPECT_EQ(run.pages().GetAnchorPage("nowhere"), 1);
  run.pages().AddPage(run.page);
  run.engine.cur_y = 40.4;
  run.pages().AddAnchor("Chapter");
  run.pages().AddPage(run.page);
  run.engine.cur_y = 100.6;
  run.pages().AddAnchor("Ivanov");
  run.pages().AddAnchor("Petrov");
  EXPECT_EQ(run.pages().GetAnchorPage("CHAPTER"), 1);
  EXPECT_EQ(run.pages().GetAnchorPage("ivanov"), 2);
  EXPECT_EQ(run.pages().GetAnchorPage("nowhere"), 1);
  // The anchors after the first one move to the next page, the first moved one to top 10.
  run.pages().ShiftAnchors(0, 10);
  EXPECT_EQ(run.pages().GetAnchorPage("Chapter"), 1);
  EXPECT_EQ(run.pages().GetAnchorPage("Ivanov"), 3);
  core::TfrxXMLItem* anchors = run.pages().Document().Root()->FindItem("anchors");
  EXPECT_EQ(anchors->Items(1)->Attribute("top"), "10");
  EXPECT_EQ(anchors->Items(2)->Attribute("top"), "10");
  EXPECT_EQ(anchors->Items(0)->Attribute("top"), "40");
}

TEST(PreparedPages, LogicalPageNumbersRestartPerGroupAndLearnTheGroupTotal) {
  PreparedRun run;
  run.Start();
  TfrxPreviewPages& pages = run.pages();
  pages.BeginPass();
  for (int i = 0; i < 3; ++i) pages.AddPage(run.page);
  pages.ResetLogicalPageNumber();  // a group of three ends
  for (int i = 0; i < 2; ++i) pages.AddPage(run.page);
  pages.ResetLogicalPageNumber();
  std::vector<std::pair<int, int>> seen;
  for (int i = 0; i < pages.Count(); ++i) {
    pages.SetCurPage(i);
    seen.emplace_back(pages.GetLogicalPageNo(), pages.GetLogicalTotalPages());
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}, {1, 2}, {2, 2}}));
}

TEST(PreparedPages, DoublePassGivesTheSamePagesWithTotalsFilled) {
  PreparedRun single;
  single.Build(4, 3);

  PreparedRun twice;
  twice.report.engine_options.double_pass = true;
  twice.Start();
  twice.engine.final_pass = false;
  twice.Pass(4, 3);
  twice.pages().AddAnchor("end");
  twice.pages().ClearFirstPassPages();
  EXPECT_EQ(twice.pages().Count(), 0);
  EXPECT_EQ(twice.pages().CurPage(), -1);
  twice.engine.final_pass = true;
  twice.engine.total_pages = 4;
  twice.Pass(4, 3);
  twice.engine.running = false;
  twice.pages().Finish();

  ASSERT_EQ(twice.pages().Count(), single.pages().Count());
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(twice.pages().PageItem(i)->Count(), single.pages().PageItem(i)->Count());
    twice.pages().SetCurPage(i);
    EXPECT_EQ(twice.pages().GetLogicalPageNo(), i + 1);
    EXPECT_EQ(twice.pages().GetLogicalTotalPages(), 4);
  }
  // Anchors of the first pass stay for forward references.
  EXPECT_EQ(twice.pages().GetAnchorPage("end"), 4);
  core::TfrxXMLItem* numbers = twice.pages().Document().Root()->FindItem("logicalpagenumbers");
  ASSERT_EQ(numbers->Count(), 4);
  EXPECT_EQ(numbers->Items(3)->Attribute("t"), "4");
}

TEST(PreparedPages, FirstPassStoresOnlyPositionsOfSourcedObjects) {
  PreparedRun run;
  run.report.engine_options.double_pass = true;
  run.Start();
  run.engine.final_pass = false;
  run.Pass(1, 2);
  const core::TfrxXMLItem* row = run.pages().PageItem(0)->Items(2);
  EXPECT_EQ(row->Text(), "t=\"50\"");
  // Nothing inside the band: the text and the rest are left for the final pass.
  EXPECT_EQ(row->Count(), 0);
}

TEST(PreparedPages, ClearFirstPassPagesOfAnAppendedRunKeepsTheEarlierPages) {
  PreparedRun run;
  run.Build(2, 2);
  run.engine.running = true;
  run.pages().Outline().AddItem("first report", 0);
  run.pages().Outline().LevelRoot();
  run.pages().BeginPass();
  run.pages().AddObject(run.band);  // continues on the last page
  run.pages().AddPage(run.page);
  run.pages().Outline().AddItem("second report", 0);
  run.pages().ClearFirstPassPages();
  EXPECT_EQ(run.pages().Count(), 2);
  EXPECT_EQ(run.pages().CurPage(), 1);
  EXPECT_EQ(run.pages().PageItem(1)->Count(), 3);
  run.pages().Outline().LevelRoot();
  ASSERT_EQ(run.pages().Outline().Count(), 1);
  EXPECT_EQ(run.pages().Outline().GetItem(0).text, "first report");
}

TEST(PreparedPages, CutAndPasteMovesObjectsKeepingTheirDistances) {
  PreparedRun run;
  run.Build(1, 3);
  run.pages().SetCurPage(0);
  run.pages().CutObjects(2);  // the second and third rows (tops 50 and 70)
  EXPECT_EQ(run.pages().GetCurPosition(), 2);
  run.pages().PasteObjects(0, 300);
  ASSERT_EQ(run.pages().GetCurPosition(), 4);
  TfrxReportPage* page = run.pages().Page(0);
  EXPECT_EQ(page->Object(2)->Top(), 300);
  EXPECT_EQ(page->Object(3)->Top(), 320);
  EXPECT_EQ(page->Object(3)->Left(), 0);
  EXPECT_EQ(run.pages().Document().Root()->Find("cutted"), -1);
}

TEST(PreparedPages, LastYAndBandExistsLookAtTheCurrentPage) {
  PreparedRun run;
  run.Start();
  run.pages().BeginPass();
  run.pages().AddPage(run.page);
  EXPECT_FALSE(run.pages().BandExists(run.header));
  run.pages().AddObject(run.header);
  run.band->SetTop(30);
  run.pages().AddObject(run.band);
  TfrxPageFooter footer;
  footer.SetBounds(0, 1000, 700, 40);
  run.pages().AddObject(&footer);
  EXPECT_TRUE(run.pages().BandExists(run.header));
  EXPECT_TRUE(run.pages().BandExists(run.band));
  TfrxPageFooter other_footer;
  EXPECT_TRUE(run.pages().BandExists(&other_footer));
  EXPECT_DOUBLE_EQ(run.pages().GetLastY(), 50);  // footers do not count
  EXPECT_DOUBLE_EQ(run.pages().GetLastY(350), 30);  // a second column: the header only
  run.pages().AddPage(run.page);
  EXPECT_DOUBLE_EQ(run.pages().GetLastY(), 30);  // an empty page: the last Y found
}

TEST(PreparedPages, OutlineNestsAndShiftsTheFollowingEntry) {
  PreparedRun run;
  run.Start();
  run.pages().BeginPass();
  run.pages().AddPage(run.page);
  TfrxOutline& outline = run.pages().Outline();
  outline.AddItem("Group A", 10);
  outline.AddItem("Ivanov", 30);
  outline.LevelUp();
  outline.LevelUp();
  outline.LevelUp();  // stays at the root
  core::TfrxXMLItem* mark = outline.CurPosition();  // Group A
  outline.AddItem("Group B", 200);
  outline.AddItem("Petrov", 220);
  outline.LevelRoot();
  ASSERT_EQ(outline.Count(), 2);
  // The entry after the mark moves to the next page with its subtree, to top 15.
  outline.ShiftItems(mark, 15);
  TfrxOutline::Entry moved = outline.GetItem(1);
  EXPECT_EQ(moved.text, "Group B");
  EXPECT_EQ(moved.page, 1);
  EXPECT_EQ(moved.top, 15);
  EXPECT_EQ(outline.GetItem(0).page, 0);
  outline.LevelDown(1);
  EXPECT_EQ(outline.GetItem(0).page, 1);
  EXPECT_EQ(outline.GetItem(0).top, 35);
  outline.LevelRoot();
  outline.LevelDown(0);
  EXPECT_EQ(outline.GetItem(0).text, "Ivanov");
  EXPECT_EQ(outline.GetItem(0).page, 0);
  EXPECT_EQ(outline.GetItem(0).top, 30);
}

TEST(PreparedPages, EditingPagesEmptiesTheCacheAndKeepsOnePage) {
  PreparedRun run;
  run.Build(3, 1);
  TfrxPreviewPages& pages = run.pages();
  TfrxReportPage* first = pages.Page(0);
  first->Object(1)->SetTop(500);
  pages.ModifyPage(0, *first);
  EXPECT_EQ(pages.CachedPageCount(), 0);
  EXPECT_EQ(pages.PageItem(0)->Name(), "TfrxReportPage");
  EXPECT_EQ(pages.Page(0)->Object(1)->Top(), 500);
  EXPECT_EQ(static_cast<TfrxMemoView*>(pages.Page(0)->Object(1)->Object(0))->Text(), "Person 0");

  pages.AddEmptyPage(1);
  ASSERT_EQ(pages.Count(), 4);
  EXPECT_EQ(pages.PageItem(1)->Name(), "page0");
  EXPECT_EQ(pages.Page(1)->ObjectCount(), 0);
  while (pages.Count() > 1) pages.DeletePage(pages.Count() - 1);
  pages.DeletePage(0);
  EXPECT_EQ(pages.Count(), 1);
}

// The store remembers where it found the pages section among the root's items; whatever is
// inserted, renamed or removed there, and whatever the collation language, placed objects
// must go where the general lookup (the first item named "previewpages", letter case
// ignored) leads.
TEST(PreparedPages, ObjectsGoToTheSectionTheGeneralLookupFinds) {
  PreparedRun run;
  run.Start();
  run.pages().BeginPass();
  run.pages().AddPage(run.page);
  core::TfrxXMLItem* root = run.pages().Document().Root();
  const std::string saved_language = core::CollationLanguage();
  const std::vector<std::string> names = {"PreviewPages", "previewpages", "PREVIEWPAGES",
                                          "previewpage",  "preview pages", "outline", "x"};
  std::mt19937 random(3);
  // Objects on the first page of each root item's children.
  auto stored = [&] {
    std::vector<int> counts;
    for (int i = 0; i < root->Count(); ++i) {
      counts.push_back(root->Items(i)->Count() > 0 ? root->Items(i)->Items(0)->Count() : -1);
    }
    return counts;
  };
  int moved = 0;
  for (int step = 0; step < 300; ++step) {
    const int action = static_cast<int>(random() % 5);
    const int at = static_cast<int>(random() % static_cast<unsigned>(root->Count()));
    if (action == 0) {
      auto item = std::make_unique<core::TfrxXMLItem>();
      item->SetName(names[random() % names.size()]);
      item->Add()->SetName("page0");
      root->InsertItem(at, root->AddItem(std::move(item)));
    } else if (action == 1) {
      root->Items(at)->SetName(names[random() % names.size()]);
    } else if (action == 2 && root->Count() > 3) {
      root->Delete(root->Items(at));
    } else if (action == 3) {
      core::SetCollationLanguage(random() % 2 ? "ru" : "en");
    }
    const int found = root->Find("previewpages");
    const std::vector<int> before = stored();
    run.pages().AddObject(run.header);
    // The general lookup adds the section at the end when no item matches.
    const int expected = found >= 0 ? found : root->Count() - 1;
    const std::vector<int> after = stored();
    for (int i = 0; i < root->Count(); ++i) {
      const int was = i < static_cast<int>(before.size()) ? before[i] : -1;
      const bool target = i == expected && was >= 0;
      ASSERT_EQ(after[i], target ? was + 1 : was) << "step " << step << ", item " << i;
    }
    if (expected != 1) ++moved;
  }
  core::SetCollationLanguage(saved_language);
  EXPECT_GT(moved, 30);  // the section did move away from where it was first found
}

TEST(PreparedPages, PageCacheHoldsAtMostPagesInCache) {
  PreparedRun run;
  run.report.preview_options.pages_in_cache = 3;
  run.Build(6, 2);
  TfrxReportPage* p0 = run.pages().Page(0);
  EXPECT_EQ(run.pages().Page(0), p0);  // a hit
  for (int i = 0; i < 6; ++i) run.pages().Page(i);
  EXPECT_EQ(run.pages().CachedPageCount(), 3);
  // While the engine runs, pages are rebuilt from their items.
  run.engine.running = true;
  TfrxReportPage* again = run.pages().Page(5);
  EXPECT_EQ(static_cast<TfrxMemoView*>(again->Object(2)->Object(0))->Text(), "Person 11");
}

}  // namespace
}  // namespace lgoty::report
