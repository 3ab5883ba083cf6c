// The grid and the field controls over an in-memory dataset.
#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "data/memory_dataset.h"
#include "tests/ui/qt_test_support.h"
#include "ui/db_date_edit.h"
#include "ui/db_edit.h"
#include "ui/db_grid.h"
#include "ui/db_text.h"

namespace lgoty::ui {
namespace {

using data::TDataSetState;

class DataControls : public ::testing::Test {
 protected:
  void SetUp() override {
    lgoty::testing::TestApp();
    ds_.FieldDefs().Add("NAME", data::TFieldType::ftString, 20);
    ds_.FieldDefs().Add("AMOUNT", data::TFieldType::ftFloat);
    ds_.FieldDefs().Add("DAY", data::TFieldType::ftDate);
    ds_.Open();
    for (int i = 0; i < rows_; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "N%05d", i);
      ds_.AppendRecord({core::Variant(std::string(name)), core::Variant(i * 1.5), core::Variant()});
    }
    ds_.First();
    source_.SetDataSet(&ds_);
    source_.SetAutoEdit(false);
  }
  std::string Name() { return ds_.FieldByName("NAME").AsString(); }

  const int rows_ = 1000;
  data::TMemoryDataSet ds_;
  data::TDataSource source_;
};

TEST_F(DataControls, GridHoldsOnlyTheVisibleRowsAndFollowsTheCurrentRecord) {
  TDBGrid grid;
  grid.resize(300, 200);
  grid.SetColumns({{"NAME", "Имя", 120}, {"AMOUNT", "Сумма", 80}});
  grid.SetDataSource(&source_);
  QAbstractItemModelTester tester(grid.GridModel(),
                                  QAbstractItemModelTester::FailureReportingMode::Warning);
  grid.show();
  QApplication::processEvents();
  const int visible = grid.VisibleRows();
  EXPECT_GT(visible, 3);
  EXPECT_LE(grid.GridModel()->rowCount(), visible);
  EXPECT_EQ(grid.GridModel()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Имя");
  EXPECT_EQ(grid.columnWidth(0), 120);
  EXPECT_EQ(grid.GridModel()->index(0, 0).data().toString(), "N00000");

  data::TLocateOptions options;
  ASSERT_TRUE(ds_.Locate("NAME", core::Variant(std::string("N00500")), options));
  const int row = grid.GridModel()->CurrentRow();
  EXPECT_EQ(grid.currentIndex().row(), row);
  EXPECT_EQ(grid.GridModel()->index(row, 0).data().toString(), "N00500");
  EXPECT_EQ(Name(), "N00500");  // reading the cells left the current record alone

  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(Name(), "N00501");
  QTest::keyClick(&grid, Qt::Key_PageDown);
  EXPECT_EQ(Name(), "N" + std::string(5 - std::to_string(501 + visible).size(), '0') +
                        std::to_string(501 + visible));
  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(Name(), "N00999");
  EXPECT_EQ(grid.GridModel()->index(grid.GridModel()->CurrentRow(), 0).data().toString(),
            "N00999");
  QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(Name(), "N00000");
}

TEST_F(DataControls, TypingInTheGridNeverEdits) {
  TDBGrid grid;
  grid.resize(300, 200);
  grid.SetColumns({{"NAME", "Имя", 120}});
  grid.SetDataSource(&source_);
  grid.show();
  lgoty::testing::TypeText(&grid, "xyzЖ");
  QTest::keyClick(&grid, Qt::Key_F2);
  EXPECT_EQ(ds_.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Name(), "N00000");
}

TEST_F(DataControls, GridKeyHookSeesEnterFirst) {
  TDBGrid grid;
  grid.SetDataSource(&source_);
  int enters = 0;
  grid.OnKeyDown = [&](QKeyEvent* e, bool& handled) {
    if (e->key() == Qt::Key_Return) {
      ++enters;
      handled = true;
    }
  };
  QTest::keyClick(&grid, Qt::Key_Return);
  EXPECT_EQ(enters, 1);
}

TEST_F(DataControls, DetachedGridShowsNothing) {
  TDBGrid grid;
  grid.resize(300, 200);
  grid.SetColumns({{"NAME", "Имя", 120}});
  grid.SetDataSource(&source_);
  EXPECT_GT(grid.GridModel()->rowCount(), 0);
  grid.SetDataSource(nullptr);
  EXPECT_EQ(grid.GridModel()->rowCount(), 0);
  ds_.Close();
  grid.SetDataSource(&source_);
  EXPECT_EQ(grid.GridModel()->rowCount(), 0);
}

TEST_F(DataControls, FieldTextShowsTheCurrentRecordAndBlankWithoutField) {
  TDBText text;
  text.SetDataSource(&source_);
  text.SetDataField("NAME");
  EXPECT_EQ(text.text(), "N00000");
  ds_.Next();
  EXPECT_EQ(text.text(), "N00001");
  text.SetDataField("NOSUCH");
  EXPECT_EQ(text.text(), "");
  text.SetDataField("");
  EXPECT_EQ(text.text(), "");
  text.SetDataField("NAME");
  ds_.Close();
  EXPECT_EQ(text.text(), "");
}

TEST_F(DataControls, EditBoxRefusesInputInBrowseAndWritesOnPost) {
  TDBEdit edit;
  edit.SetDataSource(&source_);
  edit.SetDataField("NAME");
  EXPECT_EQ(edit.text(), "N00000");
  lgoty::testing::TypeText(&edit, "Q");  // browsing, no automatic edit: refused
  EXPECT_EQ(edit.text(), "N00000");
  EXPECT_EQ(ds_.State(), TDataSetState::dsBrowse);

  ds_.Edit();
  edit.setCursorPosition(6);
  lgoty::testing::TypeText(&edit, "Ё");
  EXPECT_TRUE(edit.InputPending());
  EXPECT_EQ(Name(), "N00000");  // pending until posted
  ds_.Post();
  EXPECT_EQ(Name(), "N00000Ё");
  EXPECT_FALSE(edit.InputPending());
}

TEST_F(DataControls, UntouchedEditBoxDoesNotAssignItsField) {
  TDBEdit edit;
  edit.SetDataSource(&source_);
  edit.SetDataField("NAME");
  ds_.Edit();
  ds_.UpdateRecord();
  EXPECT_FALSE(ds_.Modified());
}

TEST_F(DataControls, EnterReachesTheKeyHookAndCanBeSwallowed) {
  TDBEdit edit;
  edit.SetDataSource(&source_);
  edit.SetDataField("NAME");
  int enters = 0;
  edit.OnKeyPress = [&](QChar& key) {
    if (key == QLatin1Char('\r')) {
      ++enters;
      key = QChar();
    }
  };
  QSignalSpy returned(&edit, &QLineEdit::returnPressed);
  QTest::keyClick(&edit, Qt::Key_Return);
  EXPECT_EQ(enters, 1);
  EXPECT_EQ(returned.count(), 0);
}

TEST_F(DataControls, DateEditPicksADayIntoTheField) {
  TDBDateEdit edit;
  edit.SetDataSource(&source_);
  edit.SetDataField("DAY");
  edit.show();
  ds_.Edit();
  edit.DropDown();
  ASSERT_NE(edit.Calendar(), nullptr);
  emit edit.Calendar()->clicked(QDate(2024, 2, 29));
  EXPECT_EQ(edit.text(), "29.02.2024");
  ds_.Post();
  EXPECT_EQ(ds_.FieldByName("DAY").AsDateTime(), core::EncodeDate(2024, 2, 29));
}

}  // namespace
}  // namespace lgoty::ui
