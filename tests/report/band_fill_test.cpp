// The hidden memo that draws a band's fill: present only for a fill that draws something,
// inset by FillGap, following the band's size, never written to a template.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/stream.h"
#include "report/bands.h"
#include "report/graphics.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/views.h"

namespace lgoty::report {
namespace {

TEST(BandFill, HiddenMemoFollowsFillGapAndSize) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  auto* band = page->Add(std::make_unique<TfrxMasterData>());
  band->SetBounds(0, 20, 700, 30);
  auto* memo = band->Add(std::make_unique<TfrxMemoView>());
  EXPECT_EQ(band->FillMemo(), nullptr);  // the empty brush needs none

  band->FillGap().left = 5;
  band->FillGap().top = 2;
  band->FillGap().right = 10;
  band->FillGap().bottom = 3;
  static_cast<TfrxBrushFill&>(band->Fill()).back_color = 0xFF;
  band->UpdateFillMemo();
  TfrxMemoView* fill_memo = band->FillMemo();
  ASSERT_NE(fill_memo, nullptr);
  EXPECT_EQ(band->Object(0), fill_memo);
  EXPECT_EQ(band->Object(1), memo);
  EXPECT_TRUE(fill_memo->IsHidden());
  EXPECT_EQ(fill_memo->Left(), 5);
  EXPECT_EQ(fill_memo->Top(), 2);
  EXPECT_EQ(fill_memo->Width(), 685);
  EXPECT_EQ(fill_memo->Height(), 25);
  EXPECT_EQ(fill_memo->FillColor(), 0xFF);

  band->SetHeight(40);
  EXPECT_EQ(band->FillMemo(), fill_memo);
  EXPECT_EQ(fill_memo->Height(), 35);

  // A gradient replaces the copy; the empty brush removes the memo again.
  band->SetFillType(TfrxFillType::ftGradient);
  ASSERT_EQ(band->FillMemo(), fill_memo);
  EXPECT_EQ(fill_memo->FillType(), TfrxFillType::ftGradient);
  band->SetFillType(TfrxFillType::ftBrush);
  EXPECT_EQ(band->FillMemo(), nullptr);
  ASSERT_EQ(band->ObjectCount(), 1);
  EXPECT_EQ(band->Object(0), memo);
}

TEST(BandFill, MemoIsNotWrittenAndComesBackFromTheLoadedFill) {
  TfrxReport report;
  auto* page = report.Add(std::make_unique<TfrxReportPage>());
  page->SetName("Page1");
  auto* band = page->Add(std::make_unique<TfrxReportTitle>());
  band->SetName("Title");
  band->SetBounds(0, 0, 700, 30);
  band->SetFillType(TfrxFillType::ftGlass);
  ASSERT_NE(band->FillMemo(), nullptr);
  core::TMemoryStream stream;
  report.SaveToStream(stream);
  EXPECT_EQ(stream.Bytes().find("TfrxMemoView"), std::string::npos);

  stream.SetPosition(0);
  TfrxReport loaded;
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.Errors().Count(), 0);
  auto* loaded_band = static_cast<TfrxBand*>(loaded.FindObject("Title"));
  ASSERT_NE(loaded_band, nullptr);
  ASSERT_NE(loaded_band->FillMemo(), nullptr);
  EXPECT_EQ(loaded_band->ObjectCount(), 1);
  EXPECT_EQ(loaded_band->FillMemo()->FillType(), TfrxFillType::ftGlass);
  EXPECT_EQ(loaded_band->FillMemo()->Width(), 700);
  // Clearing the band's views keeps the memo of its own fill.
  loaded_band->Clear();
  EXPECT_NE(loaded_band->FillMemo(), nullptr);
  core::TMemoryStream again;
  loaded.SaveToStream(again);
  EXPECT_EQ(again.Bytes(), stream.Bytes());
}

}  // namespace
}  // namespace lgoty::report
