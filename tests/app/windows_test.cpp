// The real windows, offscreen: menus, keys, the grid, the person window, layout and fonts.
#include <QFile>
#include <QHeaderView>
#include <QMenuBar>
#include <QScrollBar>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "core/format_settings.h"
#include "tests/app/register_files.h"
#include "tests/app/scripted_port.h"
#include "tests/ui/qt_test_support.h"

namespace lgoty::app {
namespace {

using testing::Person;

// Dialogs from the script; the person window is the real one, shown modally.
class WindowPort : public testing::ScriptedPort {
 public:
  TFMain* main = nullptr;
  void ShowPersonWindow() override {
    ++person_windows_shown;
    if (person_window) person_window();
    main->FPers()->exec();
  }
  void SetGridAttached(bool attached) override {
    ScriptedPort::SetGridAttached(attached);
    main->DBGrid1->SetDataSource(attached ? &main->State().DataSource1() : nullptr);
  }
};

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    lgoty::testing::TestApp();
    QFile::remove(ui::TFormPlacement::IniFileName());  // every test starts as designed
    folder_ = testing::TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
    main_ = std::make_unique<TFMain>(core::FormatSettings::Russian(), &port_);
    port_.main = main_.get();
  }
  void TearDown() override {
    main_->close();
    main_.reset();
  }
  std::string MakeRegister(const std::vector<std::string>& fields = testing::MedicinesFields()) {
    const std::string path = folder_ + "reg.dbf";
    testing::WriteRegister(path, fields,
                           {{"Сидоров", "100.00"}, {"Абрамов", "1.00", "Пётр"},
                            {"Петров", "50.50", "Олег", "ЛС 7"}, {"Иванов", "0.00"}});
    return path;
  }
  void ShowWithRegister(const std::string& start = "") {
    main_->SetStartArgument(start);
    main_->show();
    QApplication::processEvents();
    main_->State().OpenRegister(MakeRegister());
    QApplication::processEvents();
  }
  QString GridCell(int row, int column = 0) {
    return main_->DBGrid1->GridModel()->index(row, column).data().toString();
  }
  QString CurrentGridSurname() { return GridCell(main_->DBGrid1->GridModel()->CurrentRow()); }

  std::string folder_;
  WindowPort port_;
  std::unique_ptr<TFMain> main_;
};

TEST_F(Windows, DesignCaptionsMenusAndPopup) {
  main_->show();
  QApplication::processEvents();
  EXPECT_EQ(main_->windowTitle(), "Льготные лекарства и зубопротезирование");
  EXPECT_EQ(main_->centralWidget()->size(), QSize(748, 460));
  EXPECT_EQ(main_->N2->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(main_->N3->shortcut(), QKeySequence("Ctrl+Z"));
  EXPECT_EQ(main_->N4->shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(main_->fr31->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(main_->N9->shortcut(), QKeySequence("Ctrl+I"));
  EXPECT_TRUE(main_->fr31->isEnabled());
  EXPECT_EQ(main_->N1->title(), "Файл");
  EXPECT_EQ(main_->N10->title(), "Списки");
  for (QAction* a : {main_->N2, main_->N3, main_->N4, main_->fr31, main_->N9})
    EXPECT_FALSE(a->icon().isNull());
  EXPECT_EQ(main_->N8->text(), "Редактировать");
  EXPECT_FALSE(main_->N5->isEnabled());
  EXPECT_FALSE(main_->FPers()->DBEdit1->isEnabled());
  EXPECT_TRUE(main_->FPers()->DBEdit7->isEnabled());
}

TEST_F(Windows, StartArgumentSlashFEnablesAddingAndIdentityBoxes) {
  main_->SetStartArgument("/f");
  EXPECT_TRUE(main_->N5->isEnabled());
  EXPECT_TRUE(main_->FPers()->DBEdit1->isEnabled());
  EXPECT_TRUE(main_->FPers()->DBEdit6->isEnabled());
  main_->SetStartArgument("-f");
  EXPECT_FALSE(main_->N5->isEnabled());
  EXPECT_FALSE(main_->FPers()->DBEdit1->isEnabled());
}

TEST_F(Windows, ShortcutsReachTheirCommands) {
  main_->show();
  QApplication::processEvents();
  main_->Edit1->setFocus();
  QTest::keyClick(main_->Edit1, Qt::Key_I, Qt::ControlModifier);
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "Файл должен быть открыт!");

  port_.files.push_back(MakeRegister());
  QTest::keyClick(main_->Edit1, Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(port_.dialogs_shown, 1);
  EXPECT_TRUE(main_->State().Table1().Active());
  EXPECT_EQ(main_->windowTitle(), "Льготное обеспечение лекарственными препаратами");

  // Ctrl+Z in the search box closes the register instead of undoing the typing.
  QTest::keyClick(main_->Edit1, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_FALSE(main_->State().Table1().Active());

  QTest::keyClick(main_->Edit1, Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(main_->isVisible());
}

TEST_F(Windows, MenuItemsTriggerTheCommands) {
  main_->show();
  port_.files.push_back(std::nullopt);
  main_->N2->trigger();
  EXPECT_EQ(port_.dialogs_shown, 1);
  main_->N9->trigger();
  EXPECT_EQ(port_.messages.back().text, "Файл должен быть открыт!");
  port_.answers = {false};
  main_->N7->trigger();
  EXPECT_EQ(port_.questions_asked, 1);
}

TEST_F(Windows, GridShowsSurnameOrderAndFollowsTheSearch) {
  ShowWithRegister();
  EXPECT_EQ(GridCell(0), "Абрамов");
  EXPECT_EQ(GridCell(1), "Иванов");
  EXPECT_EQ(GridCell(2), "Петров");
  EXPECT_EQ(GridCell(3), "Сидоров");
  EXPECT_EQ(GridCell(0, 1), "Пётр");
  lgoty::testing::TypeText(main_->Edit1, "пе");
  EXPECT_EQ(CurrentGridSurname(), "Петров");
  EXPECT_EQ(main_->DBText4->text(), "50,5");
  EXPECT_EQ(main_->DBText5->text(), "ЛС 7");
  main_->State().Table1().Locate("FAMIL", core::Variant(std::string("Сидоров")), {});
  EXPECT_EQ(CurrentGridSurname(), "Сидоров");
  EXPECT_EQ(main_->DBGrid1->currentIndex().row(), main_->DBGrid1->GridModel()->CurrentRow());
}

TEST_F(Windows, EnterInSearchBoxFocusesGridAndEnterInGridOpensPersonWindow) {
  ShowWithRegister();
  main_->activateWindow();
  main_->Edit1->setFocus();
  lgoty::testing::TypeText(main_->Edit1, "Пет");
  QTest::keyClick(main_->Edit1, Qt::Key_Return);
  EXPECT_TRUE(main_->DBGrid1->hasFocus());

  QString shown_surname, shown_number;
  lgoty::testing::WhenModal([&](QWidget* modal) {
    EXPECT_EQ(modal, main_->FPers());
    shown_surname = main_->FPers()->DBEdit1->text();
    shown_number = main_->FPers()->DBEdit7->text();
  });
  QTest::keyClick(main_->DBGrid1, Qt::Key_Return);
  EXPECT_EQ(port_.person_windows_shown, 1);
  EXPECT_EQ(shown_surname, "Петров");
  EXPECT_EQ(shown_number, "ЛС 7");
}

TEST_F(Windows, PersonWindowPostsThroughCloseButton) {
  ShowWithRegister();
  lgoty::testing::TypeText(main_->Edit1, "Сид");
  lgoty::testing::WhenModal([&](QWidget*) {
    TFPers* pers = main_->FPers();
    EXPECT_EQ(pers->windowTitle(), "Редактирование данных");
    EXPECT_EQ(pers->Label7->text(), "Рецепт");
    EXPECT_EQ(pers->DBEdit9->text(), "100");
    pers->DBEdit9->setFocus();
    pers->DBEdit9->selectAll();
    lgoty::testing::TypeText(pers->DBEdit9, "75,25");
    QTest::mouseClick(pers->BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(pers->isVisible());
  });
  main_->State().N8Click();
  EXPECT_EQ(main_->State().Table1().State(), data::TDataSetState::dsBrowse);
  EXPECT_DOUBLE_EQ(main_->State().Table1().FieldByName("SUMPAY").AsFloat(), 75.25);
  EXPECT_EQ(main_->DBText4->text(), "75,25");
}

TEST_F(Windows, EnterWalksTheEnabledBoxesToTheCloseButton) {
  ShowWithRegister();
  QWidget* order[4] = {};
  lgoty::testing::WhenModal([&](QWidget*) {
    TFPers* pers = main_->FPers();
    order[0] = pers->focusWidget();
    for (int i = 1; i < 4; ++i) {
      QTest::keyClick(pers->focusWidget(), Qt::Key_Return);
      order[i] = pers->focusWidget();
    }
    EXPECT_TRUE(pers->isVisible());  // Enter never closes the window
  });
  main_->State().N8Click();
  TFPers* pers = main_->FPers();
  EXPECT_EQ(order[0], pers->DBEdit7);
  EXPECT_EQ(order[1], pers->DBEdit8);
  EXPECT_EQ(order[2], pers->DBEdit9);
  EXPECT_EQ(order[3], pers->BitBtn1);
}

TEST_F(Windows, EnterOnTheFocusedCloseButtonClosesThePersonWindow) {
  ShowWithRegister();
  bool closed = false;
  lgoty::testing::WhenModal([&](QWidget*) {
    TFPers* pers = main_->FPers();
    pers->BitBtn1->setFocus();
    QTest::keyClick(pers->BitBtn1, Qt::Key_Return);
    closed = !pers->isVisible();
    if (!closed) pers->reject();
  });
  main_->State().N8Click();
  EXPECT_TRUE(closed);
}

TEST_F(Windows, DoubleClickOnARowOpensThePersonWindow) {
  ShowWithRegister();
  lgoty::testing::WhenModal([&](QWidget* modal) {
    EXPECT_EQ(modal, main_->FPers());
    main_->FPers()->reject();
  });
  const QModelIndex cell = main_->DBGrid1->model()->index(1, 0);
  QTest::mouseDClick(main_->DBGrid1->viewport(), Qt::LeftButton, {},
                     main_->DBGrid1->visualRect(cell).center());
  EXPECT_EQ(port_.person_windows_shown, 1);
}

TEST_F(Windows, BoxesHoldNoMoreThanTheirFieldsAndEmptyValuesStoreNothing) {
  ShowWithRegister();
  lgoty::testing::TypeText(main_->Edit1, "Сид");
  lgoty::testing::WhenModal([&](QWidget*) {
    TFPers* pers = main_->FPers();
    EXPECT_EQ(pers->DBEdit7->maxLength(), 25);  // RECEPT C(25) in this register
    EXPECT_EQ(pers->DBEdit9->maxLength(), 12);  // SUMPAY N(12,2)
    pers->DBEdit7->setFocus();
    pers->DBEdit7->selectAll();
    lgoty::testing::TypeText(pers->DBEdit7, "123456789012345678901234567890");
    EXPECT_EQ(pers->DBEdit7->text().size(), 25);
    pers->DBEdit8->setFocus();
    pers->DBEdit8->selectAll();
    QTest::keyClick(pers->DBEdit8, Qt::Key_Delete);
    pers->DBEdit9->setFocus();
    pers->DBEdit9->selectAll();
    QTest::keyClick(pers->DBEdit9, Qt::Key_Delete);
    QTest::mouseClick(pers->BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(pers->isVisible());
  });
  main_->State().N8Click();
  EXPECT_TRUE(port_.messages.empty());
  data::TDataSet& table = main_->State().Table1();
  EXPECT_EQ(table.FieldByName("RECEPT").AsString(), "1234567890123456789012345");
  EXPECT_TRUE(table.FieldByName("DATERCPT").IsNull());
  EXPECT_TRUE(table.FieldByName("SUMPAY").IsNull());
}

TEST_F(Windows, AnAmountWithMoreDecimalsThanTheFieldIsRefused) {
  ShowWithRegister();
  lgoty::testing::TypeText(main_->Edit1, "Сид");
  lgoty::testing::WhenModal([&](QWidget*) {
    TFPers* pers = main_->FPers();
    pers->DBEdit9->setFocus();
    pers->DBEdit9->selectAll();
    lgoty::testing::TypeText(pers->DBEdit9, "12345678,123");
    QTest::mouseClick(pers->BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(pers->isVisible());  // the refused value stays for the user to correct
    pers->DBEdit9->selectAll();
    lgoty::testing::TypeText(pers->DBEdit9, "1,5");
    QTest::mouseClick(pers->BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(pers->isVisible());
  });
  main_->State().N8Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text,
            "Value 12345678,123 does not fit into field \"SUMPAY\" (12.2).");
  EXPECT_DOUBLE_EQ(main_->State().Table1().FieldByName("SUMPAY").AsFloat(), 1.5);
}

TEST_F(Windows, TheScrollBarFollowsThePositionInSurnameOrder) {
  main_->show();
  const std::string path = folder_ + "many.dbf";
  std::vector<Person> people;
  for (int i = 0; i < 3000; ++i) {
    const int k = (i * 1777) % 3000;  // scrambled, so the tag's pages fill unevenly
    people.push_back({"Фамилия" + std::to_string(10000 + k), "1.00"});
  }
  testing::WriteRegister(path, testing::MedicinesFields(), people);
  main_->State().OpenRegister(path);
  QApplication::processEvents();
  QScrollBar* bar = main_->DBGrid1->findChild<QScrollBar*>();
  ASSERT_NE(bar, nullptr);
  main_->DBGrid1->setFocus();
  QTest::keyClick(main_->DBGrid1, Qt::Key_End, Qt::ControlModifier);
  EXPECT_GE(bar->value(), bar->maximum() - bar->maximum() / 50);  // at the end, not mid-track
  QTest::keyClick(main_->DBGrid1, Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(bar->value(), bar->minimum());
  bar->setValue(bar->maximum() / 2);  // the thumb dragged to the middle
  const std::string surname = main_->State().Table1().FieldByName("FAMIL").AsString();
  const int rank = std::stoi(surname.substr(std::string("Фамилия").size())) - 10000;
  EXPECT_NEAR(rank, 1500, 300) << surname;
}

TEST_F(Windows, DentalRegisterRelabelsThePersonWindow) {
  main_->show();
  main_->State().OpenRegister(MakeRegister(testing::DentalFields()));
  EXPECT_EQ(main_->windowTitle(), "Изготовление и ремонт зубных протезов");
  EXPECT_EQ(main_->FPers()->Label7->text(), "Наряд");
  EXPECT_EQ(main_->FPers()->Label8->text(), "Дата наряда");
  EXPECT_EQ(main_->FPers()->DBEdit7->DataField(), "NARYD");
  EXPECT_EQ(main_->Label5->text(), "Рецепт");  // the main window's labels keep their texts
  main_->State().N3Click();
  EXPECT_EQ(main_->FPers()->DBEdit7->DataField(), "");
  EXPECT_EQ(main_->DBText5->DataField(), "");
}

TEST_F(Windows, ResizeTo400By300KeepsMargins) {
  main_->show();
  main_->resize(400, 300);
  QApplication::processEvents();
  const QSize outer = main_->frameGeometry().size();
  EXPECT_EQ(main_->BitBtn1->x(), outer.width() - 75 - 50);
  EXPECT_EQ(main_->BitBtn1->y(), outer.height() - 25 - 70);
  EXPECT_EQ(main_->DBGrid1->y() + main_->DBGrid1->height(), outer.height() - 70);
  EXPECT_EQ(main_->DBGrid1->y(), 8 + 21 + 10);
}

TEST_F(Windows, FontSize12EnlargesTheWindowsTextsAndRespacesTheSearchRow) {
  ShowWithRegister();
  const int label9_before = main_->Label9->width();
  main_->RxSpinEdit1->SetText("12");
  for (QWidget* w : std::initializer_list<QWidget*>{main_->DBGrid1, main_->Label8, main_->Label9,
                                                    main_->Edit1, main_->BitBtn1, main_->DBText1,
                                                    main_->DBText6, main_->Label1})
    EXPECT_EQ(w->font().pointSize(), 12) << w->metaObject()->className();
  EXPECT_EQ(main_->RxSpinEdit1->font().pointSize(), 8);
  EXPECT_EQ(main_->DBGrid1->horizontalHeader()->font().pointSize(), 8);  // titles keep theirs
  // Series and number columns of the detail panel do not run into each other.
  EXPECT_GE(main_->Label3->x(), main_->Label7->x() + main_->Label7->width());
  EXPECT_EQ(main_->FPers()->DBEdit1->font().pointSize(), 8);
  EXPECT_GT(main_->Label9->width(), label9_before);
  EXPECT_EQ(main_->Label8->x(), 8 + 193 + 5);
  EXPECT_EQ(main_->Label9->x(), main_->Label8->x() + main_->Label8->width() + 15);
  EXPECT_EQ(main_->RxSpinEdit1->x(), main_->Label9->x() + main_->Label9->width() + 5);
  EXPECT_TRUE(port_.messages.empty());

  main_->RxSpinEdit1->Editor()->selectAll();
  QTest::keyClick(main_->RxSpinEdit1->Editor(), Qt::Key_Backspace);  // cleared: reported
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "'' is not a valid integer value.");
  EXPECT_EQ(main_->DBGrid1->font().pointSize(), 12);
}

TEST_F(Windows, FontSize24KeepsTheSearchRowAboveTheGridAndTheExitCaptionWhole) {
  ShowWithRegister();
  main_->RxSpinEdit1->SetText("24");
  QApplication::processEvents();
  const QFontMetrics edit_metrics(main_->Edit1->font());
  EXPECT_GE(main_->Edit1->height(), edit_metrics.height());
  for (QWidget* w : std::initializer_list<QWidget*>{main_->Edit1, main_->Label8, main_->Label9})
    EXPECT_LE(w->geometry().bottom(), main_->DBGrid1->geometry().top()) << w->metaObject()->className();
  const QFontMetrics button_metrics(main_->BitBtn1->font());
  EXPECT_GE(main_->BitBtn1->width(), button_metrics.horizontalAdvance(main_->BitBtn1->text()));
  EXPECT_GE(main_->BitBtn1->height(), button_metrics.height());
  EXPECT_LE(main_->BitBtn1->geometry().right(), main_->BitBtn1->parentWidget()->width());
  // Back to 8: the designed sizes come back.
  main_->RxSpinEdit1->SetText("8");
  EXPECT_EQ(main_->Edit1->height(), 21);
  EXPECT_EQ(main_->BitBtn1->size(), QSize(75, 25));
}

TEST_F(Windows, FontSize24StacksTheDetailPanelWithoutOverlaps) {
  ShowWithRegister();
  auto rows = [this] {
    return std::vector<std::vector<QWidget*>>{
        {main_->Label1}, {main_->DBText1}, {main_->Label2}, {main_->Label7, main_->Label3},
        {main_->DBText2, main_->DBText3}, {main_->Label4}, {main_->DBText4}, {main_->Label5},
        {main_->DBText5}, {main_->Label6}, {main_->DBText6}};
  };
  const QPoint label1 = main_->Label1->pos(), dbtext6 = main_->DBText6->pos();
  EXPECT_EQ(label1, QPoint(480, 32));
  EXPECT_EQ(dbtext6, QPoint(481, 251));
  for (const char* size : {"24", "40"}) {
    main_->RxSpinEdit1->SetText(size);
    QApplication::processEvents();
    int above = std::max({main_->Edit1->geometry().bottom(), main_->Label9->geometry().bottom(),
                          main_->RxSpinEdit1->geometry().bottom()});
    for (const auto& row : rows()) {
      for (QWidget* item : row) {
        EXPECT_GT(item->geometry().top(), above) << size << " " << item->metaObject()->className();
      }
      int bottom = 0;
      for (QWidget* item : row) bottom = std::max(bottom, item->geometry().bottom());
      above = bottom;
    }
    // The window grew to hold the panel above the exit button.
    EXPECT_LT(main_->DBText6->geometry().bottom(), main_->BitBtn1->geometry().top()) << size;
    EXPECT_LE(main_->Label1->geometry().right(), main_->centralWidget()->width()) << size;
    // Series and number side by side do not run into each other.
    EXPECT_GT(main_->Label3->x(), main_->Label7->geometry().right());
    EXPECT_GT(main_->DBText3->x(), main_->DBText2->geometry().right());
  }
  main_->RxSpinEdit1->SetText("8");
  QApplication::processEvents();
  EXPECT_EQ(main_->Label1->pos(), label1);
  EXPECT_EQ(main_->DBText6->pos(), dbtext6);
  EXPECT_EQ(main_->DBText1->height(), 17);
}

TEST_F(Windows, TotalsLeaveTheGridOnItsRow) {
  ShowWithRegister();
  lgoty::testing::TypeText(main_->Edit1, "Ив");
  main_->N9->trigger();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "Количество ненулевых записей : 3\r\nСумма : 151,5");
  EXPECT_EQ(CurrentGridSurname(), "Иванов");
  EXPECT_EQ(main_->DBGrid1->DataSource(), &main_->State().DataSource1());
}

}  // namespace
}  // namespace lgoty::app
