// The band tree of a page and the shift lists of a band: who belongs to which data band,
// the four error lines, and how growth moves the objects below.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "report/band_tree.h"
#include "report/bands.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/shift_lists.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

class BandTreeTest : public ::testing::Test {
 protected:
  BandTreeTest() {
    page_ = report_.Add(std::make_unique<TfrxReportPage>());
    page_->SetName("Page1");
    data_set_ = report_.Add(std::make_unique<TfrxUserDataSet>());
    data_set_->SetName("Rows");
  }

  template <class T>
  T* AddBand(const char* name, double top, bool with_data = false) {
    T* band = page_->Add(std::make_unique<T>());
    band->SetName(name);
    band->SetBounds(0, top, 700, 20);
    if constexpr (std::is_base_of_v<TfrxDataBand, T>) {
      if (with_data) band->data_set.Set(data_set_);
    }
    return band;
  }

  BandTree Build() {
    BandTree tree;
    BuildBandTree(*page_, false, tree);
    return tree;
  }

  TfrxReport report_;
  TfrxReportPage* page_;
  TfrxUserDataSet* data_set_;
};

TEST_F(BandTreeTest, HeaderGroupsMasterDetailAndFootersNestByDesignerOrder) {
  // Inserted out of order: the tree follows Top.
  auto* footer = AddBand<TfrxFooter>("Footer1", 300);
  auto* detail = AddBand<TfrxDetailData>("DetailData1", 160, true);
  auto* master = AddBand<TfrxMasterData>("MasterData1", 120, true);
  auto* header = AddBand<TfrxHeader>("Header1", 40);
  auto* g1 = AddBand<TfrxGroupHeader>("GroupHeader1", 60);
  auto* g2 = AddBand<TfrxGroupHeader>("GroupHeader2", 80);
  auto* gf2 = AddBand<TfrxGroupFooter>("GroupFooter2", 200);
  auto* gf1 = AddBand<TfrxGroupFooter>("GroupFooter1", 240);
  auto* title = AddBand<TfrxReportTitle>("ReportTitle1", 0);

  BandTree tree = Build();
  EXPECT_TRUE(tree.errors.empty()) << tree.errors.front();
  EXPECT_EQ(tree.title, title);
  ASSERT_EQ(tree.top_level.size(), 1u);
  DataBandNode* m = tree.top_level[0];
  EXPECT_EQ(m->band, master);
  EXPECT_EQ(m->header, header);
  EXPECT_EQ(m->footer, footer);
  ASSERT_EQ(m->groups.size(), 2u);
  EXPECT_EQ(m->groups[0].header, g1);
  EXPECT_EQ(m->groups[0].footer, gf1);
  EXPECT_EQ(m->groups[1].header, g2);
  EXPECT_EQ(m->groups[1].footer, gf2);
  ASSERT_EQ(m->sub_bands.size(), 1u);
  EXPECT_EQ(m->sub_bands[0]->band, detail);
}

TEST_F(BandTreeTest, EachOfTheFourErrorLinesNamesItsBand) {
  AddBand<TfrxMasterData>("MasterData1", 100, true);
  AddBand<TfrxGroupHeader>("GroupHeader1", 200);  // no data band after it
  AddBand<TfrxHeader>("Header1", 300);            // nothing below
  AddBand<TfrxDetailData>("DetailData1", 20, true);  // above its master
  BandTree tree = Build();
  ASSERT_EQ(tree.errors.size(), 3u);
  EXPECT_EQ(tree.errors[0], "Неправильно расположен бэнд: DetailData1");
  EXPECT_EQ(tree.errors[1], "Нет дата-бэнда для группы GroupHeader1");
  EXPECT_EQ(tree.errors[2], "Не подключенный header/footer Header1");

  BandTree footer_only;
  auto* other = report_.Add(std::make_unique<TfrxReportPage>());
  other->SetName("Page2");
  auto* gf = other->Add(std::make_unique<TfrxGroupFooter>());
  gf->SetName("GroupFooter9");
  BuildBandTree(*other, false, footer_only);
  ASSERT_EQ(footer_only.errors.size(), 1u);
  EXPECT_EQ(footer_only.errors[0], "Нет заголовка группы GroupFooter9");
}

TEST_F(BandTreeTest, RowCountGivesABandItsOwnDataSetAndZeroLeavesItOut) {
  auto* counted = AddBand<TfrxMasterData>("MasterData1", 10);
  counted->row_count = 3;
  auto* idle = AddBand<TfrxMasterData>("MasterData2", 50);
  idle->row_count = 0;
  BandTree tree = Build();
  EXPECT_TRUE(tree.errors.empty());
  ASSERT_EQ(tree.top_level.size(), 1u);
  EXPECT_EQ(tree.top_level[0]->band, counted);
  EXPECT_EQ(tree.top_level[0]->data_set, &counted->VirtualDataSet());
  EXPECT_EQ(counted->VirtualDataSet().range_end_count, 3);
}

TEST_F(BandTreeTest, VerticalBandsFormTheirOwnTreeOrderedByLeft) {
  // Horizontal: header above master by Top. The vertical bands' Tops fall between them and
  // would break that pair if they were mixed in.
  auto* header = AddBand<TfrxHeader>("Header1", 40);
  auto* master = AddBand<TfrxMasterData>("MasterData1", 80, true);
  auto add_vertical = [&](auto* band, double left) {
    band->vertical = true;
    band->SetBounds(left, 60, 30, 200);
    return band;
  };
  // Vertical, inserted out of order: footer right of the master, header left of it.
  auto* v_footer = add_vertical(AddBand<TfrxFooter>("VFooter", 60), 300);
  auto* v_master = add_vertical(AddBand<TfrxMasterData>("VMaster", 60), 200);
  v_master->row_count = 4;
  auto* v_header = add_vertical(AddBand<TfrxHeader>("VHeader", 60), 100);
  auto* v_title = add_vertical(AddBand<TfrxReportTitle>("VTitle", 60), 0);

  BandTree horizontal = Build();
  EXPECT_TRUE(horizontal.errors.empty()) << horizontal.errors.front();
  EXPECT_EQ(horizontal.title, nullptr);
  ASSERT_EQ(horizontal.nodes.size(), 1u);
  ASSERT_EQ(horizontal.top_level.size(), 1u);
  EXPECT_EQ(horizontal.top_level[0]->band, master);
  EXPECT_EQ(horizontal.top_level[0]->header, header);
  EXPECT_EQ(horizontal.top_level[0]->footer, nullptr);

  BandTree vertical;
  BuildBandTree(*page_, true, vertical);
  EXPECT_TRUE(vertical.errors.empty()) << vertical.errors.front();
  EXPECT_EQ(vertical.title, v_title);
  ASSERT_EQ(vertical.top_level.size(), 1u);
  EXPECT_EQ(vertical.top_level[0]->band, v_master);
  EXPECT_EQ(vertical.top_level[0]->header, v_header);
  EXPECT_EQ(vertical.top_level[0]->footer, v_footer);
  EXPECT_EQ(vertical.top_level[0]->data_set, &v_master->VirtualDataSet());

  // A vertical footer with no data band to its left is an error of the vertical tree only.
  add_vertical(AddBand<TfrxFooter>("VFooter2", 60), 0)->SetLeft(-50);
  BandTree vertical_again;
  BuildBandTree(*page_, true, vertical_again);
  ASSERT_EQ(vertical_again.errors.size(), 1u);
  EXPECT_EQ(vertical_again.errors[0], "Не подключенный header/footer VFooter2");
  EXPECT_TRUE(Build().errors.empty());
}

// Shift lists ---------------------------------------------------------------------------

TfrxMemoView* AddMemo(TfrxBand& band, double left, double top, double width, double height,
                      TfrxShiftMode mode = TfrxShiftMode::smAlways) {
  auto* memo = band.Add(std::make_unique<TfrxMemoView>());
  memo->SetBounds(left, top, width, height);
  memo->shift_mode = mode;
  return memo;
}

TEST(ShiftLists, GrowthMovesOnlyTheObjectsBelowTheGrowingOne) {
  TfrxMasterData band;
  band.SetBounds(0, 0, 400, 100);
  TfrxMemoView* top_left = AddMemo(band, 0, 0, 100, 20);
  TfrxMemoView* under_left = AddMemo(band, 0, 30, 100, 20);
  TfrxMemoView* under_right = AddMemo(band, 200, 30, 100, 20);
  TfrxMemoView* bottom_wide = AddMemo(band, 0, 60, 300, 20);
  ShiftLists lists;
  lists.Build(band);
  ASSERT_EQ(lists.Views().size(), 4u);
  // The wide memo is claimed by both memos above it, not by the first (hidden behind
  // under_left).
  EXPECT_EQ(lists.Parents()[3].size(), 2u);
  EXPECT_TRUE(lists.Parents()[2].empty());

  top_left->SetHeight(60);  // grew by 40
  lists.ApplyGrowth({40, 0, 0, 0});
  EXPECT_DOUBLE_EQ(under_left->Top(), 70);
  EXPECT_DOUBLE_EQ(under_right->Top(), 30);
  EXPECT_DOUBLE_EQ(bottom_wide->Top(), 100);
}

TEST(ShiftLists, ShiftModesDontShiftAndWhenOverlapped) {
  TfrxMasterData band;
  band.SetBounds(0, 0, 400, 100);
  TfrxMemoView* grower = AddMemo(band, 0, 0, 100, 20);
  TfrxMemoView* fixed = AddMemo(band, 0, 25, 100, 10, TfrxShiftMode::smDontShift);
  TfrxMemoView* below_fixed = AddMemo(band, 0, 40, 100, 10);
  TfrxMemoView* other = AddMemo(band, 150, 0, 100, 20);
  TfrxMemoView* overlapped = AddMemo(band, 150, 50, 100, 10, TfrxShiftMode::smWhenOverlapped);
  ShiftLists lists;
  lists.Build(band);
  grower->SetHeight(30);
  other->SetHeight(55);  // now reaches 5 pixels into `overlapped`
  std::vector<double> growth(lists.Views().size(), 0.0);
  for (size_t i = 0; i < lists.Views().size(); ++i) {
    if (lists.Views()[i] == grower) growth[i] = 10;
    if (lists.Views()[i] == other) growth[i] = 35;
  }
  lists.ApplyGrowth(growth);
  EXPECT_DOUBLE_EQ(fixed->Top(), 25);        // stays, passes the 10 on
  EXPECT_DOUBLE_EQ(below_fixed->Top(), 50);  // moved by what came through
  EXPECT_DOUBLE_EQ(overlapped->Top(), 55);   // only to the new bottom above it
}

// A band whose class reports the name of another kind: its number follows the name.
class RenamedGroupHeader : public TfrxGroupHeader {
 public:
  const char* ClassName() const override { return "TfrxFooter"; }
};

// The number found by the band's exact class (kept per class) is the one its class name
// gives, whatever order bands of more kinds than the kept entries come in.
TEST(BandNumber, KeptPerClassAgreesWithTheClassName) {
  std::vector<std::function<std::unique_ptr<TfrxBand>()>> makers = {
      [] { return std::make_unique<TfrxReportTitle>(); },
      [] { return std::make_unique<TfrxReportSummary>(); },
      [] { return std::make_unique<TfrxPageHeader>(); },
      [] { return std::make_unique<TfrxPageFooter>(); },
      [] { return std::make_unique<TfrxHeader>(); },
      [] { return std::make_unique<TfrxFooter>(); },
      [] { return std::make_unique<TfrxMasterData>(); },
      [] { return std::make_unique<TfrxDetailData>(); },
      [] { return std::make_unique<TfrxSubdetailData>(); },
      [] { return std::make_unique<TfrxDataBand4>(); },
      [] { return std::make_unique<TfrxDataBand5>(); },
      [] { return std::make_unique<TfrxDataBand6>(); },
      [] { return std::make_unique<TfrxGroupHeader>(); },
      [] { return std::make_unique<TfrxGroupFooter>(); },
      [] { return std::make_unique<TfrxChild>(); },
      [] { return std::make_unique<TfrxColumnHeader>(); },
      [] { return std::make_unique<TfrxColumnFooter>(); },
      [] { return std::make_unique<TfrxOverlay>(); },
      [] { return std::make_unique<TfrxNullBand>(); },
      [] { return std::make_unique<TfrxBand>(); },
      [] { return std::make_unique<RenamedGroupHeader>(); },
  };
  std::vector<std::unique_ptr<TfrxBand>> bands;
  for (const auto& make : makers) bands.push_back(make());
  EXPECT_EQ(BandNumber(*bands[0]), 0);
  EXPECT_EQ(BandNumber(*bands[8]), 8);
  EXPECT_EQ(BandNumber(*bands[17]), 17);
  EXPECT_EQ(BandNumber(*bands[18]), -1);
  EXPECT_EQ(BandNumber(*bands[19]), -1);
  EXPECT_EQ(BandNumber(*bands[12]), 12);
  EXPECT_EQ(BandNumber(*bands[20]), 5);
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    const TfrxBand& band = *bands[random() % bands.size()];
    ASSERT_EQ(BandNumber(band), BandNumberOfClass(band.ClassName())) << band.ClassName();
  }
}

// The stretchable side of each view is found when the lists are built; growth passed
// again and again through the same lists moves the views as fresh lists do.
TEST(ShiftLists, KeptListsMoveViewsAsFreshListsDo) {
  std::mt19937 random(11);
  auto random_band = [&](TfrxMasterData& band, std::mt19937& r) {
    band.SetBounds(0, 0, 600, 300);
    for (int i = 0; i < 9; ++i) {
      TfrxView* view;
      switch (r() % 4) {
        case 0: view = band.Add(std::make_unique<TfrxLineView>()); break;
        case 1: view = band.Add(std::make_unique<TfrxShapeView>()); break;
        default: view = band.Add(std::make_unique<TfrxMemoView>()); break;
      }
      view->SetBounds(static_cast<double>(r() % 400), static_cast<double>(r() % 200),
                      static_cast<double>(20 + r() % 200), static_cast<double>(5 + r() % 40));
      view->shift_mode = static_cast<TfrxShiftMode>(r() % 3);
    }
  };
  for (int layout = 0; layout < 20; ++layout) {
    const unsigned seed = static_cast<unsigned>(random());
    std::mt19937 r1(seed), r2(seed);
    TfrxMasterData kept_band, fresh_band;
    random_band(kept_band, r1);
    random_band(fresh_band, r2);
    ShiftLists kept;
    kept.Build(kept_band);
    ASSERT_EQ(kept.Stretcheables().size(), kept.Views().size());
    for (size_t i = 0; i < kept.Views().size(); ++i) {
      EXPECT_EQ(kept.Stretcheables()[i], dynamic_cast<TfrxStretcheable*>(kept.Views()[i]));
    }
    for (int print = 0; print < 5; ++print) {
      // Every print starts from the designer places, as the engine puts them back.
      std::vector<double> tops;
      for (int i = 0; i < kept_band.ObjectCount(); ++i) tops.push_back(kept_band.Object(i)->Top());
      ShiftLists fresh;
      fresh.Build(fresh_band);
      std::vector<double> growth(kept.Views().size());
      for (double& g : growth) g = random() % 3 == 0 ? static_cast<double>(random() % 50) : 0.0;
      kept.ApplyGrowth(growth);
      fresh.ApplyGrowth(growth);
      for (int i = 0; i < kept_band.ObjectCount(); ++i) {
        EXPECT_DOUBLE_EQ(kept_band.Object(i)->Top(), fresh_band.Object(i)->Top());
        kept_band.Object(i)->SetTop(tops[static_cast<size_t>(i)]);
        fresh_band.Object(i)->SetTop(tops[static_cast<size_t>(i)]);
      }
    }
  }
}

}  // namespace
}  // namespace lgoty::report
