// The calculator's arithmetic, the spin edit and the placement keeper.
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QFile>
#include <gtest/gtest.h>
#include <memory>

#include "tests/ui/qt_test_support.h"
#include "ui/calculator.h"
#include "ui/db_calc_edit.h"
#include "ui/form_placement.h"
#include "ui/spin_edit.h"

namespace lgoty::ui {
namespace {

std::string Keys(Calculator& c, const std::string& keys) {
  for (char k : keys) c.Press(k);
  return c.Display();
}

TEST(Calculator, LeftToRightArithmeticWithDecimalComma) {
  Calculator c(",");
  c.Reset(0);
  EXPECT_EQ(Keys(c, "12+3*2="), "30");
  c.Reset(0);
  EXPECT_EQ(Keys(c, "1,5+1,25="), "2,75");
  c.Reset(100.5);
  EXPECT_EQ(c.Display(), "100,5");
  EXPECT_EQ(Keys(c, "-0,5="), "100");
  EXPECT_EQ(Keys(c, "~"), "-100");
  c.Reset(0);
  EXPECT_EQ(Keys(c, "123\b\b"), "1");
  EXPECT_EQ(Keys(c, "+-2="), "-1");  // a second operator replaces the first
}

TEST(Calculator, DivisionByZeroShowsErrorUntilCleared) {
  Calculator c(",");
  c.Reset(5);
  EXPECT_EQ(Keys(c, "/0="), "Ошибка");
  EXPECT_TRUE(c.Error());
  EXPECT_EQ(Keys(c, "+"), "Ошибка");  // operators are ignored in the error state
  EXPECT_EQ(Keys(c, "7"), "7");
  EXPECT_EQ(Keys(c, "C"), "0");
}

TEST(CalculatorPopup, OkPutsTheResultIntoTheBox) {
  lgoty::testing::TestApp();
  TCalculatorPopup popup(10, ",", nullptr);
  double accepted = -1;
  QObject::connect(&popup, &TCalculatorPopup::Accepted, [&](double v) { accepted = v; });
  for (char k : std::string("*3\r")) popup.Press(k);
  EXPECT_DOUBLE_EQ(accepted, 30);
}

TEST(SpinEdit, TextChangesReachTheOwnerEvenWhenNotANumber) {
  lgoty::testing::TestApp();
  TRxSpinEdit spin;
  spin.setRange(6, 999);
  spin.setSingleStep(2);
  spin.setValue(8);
  spin.SetMaxLength(3);
  QSignalSpy changes(&spin, &TRxSpinEdit::TextChanged);
  spin.stepUp();
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes.takeFirst().at(0).toString(), "10");
  spin.Editor()->selectAll();
  QTest::keyClick(spin.Editor(), Qt::Key_Backspace);  // the user clears the box
  ASSERT_EQ(changes.count(), 1);
  EXPECT_EQ(changes.takeFirst().at(0).toString(), "");
  lgoty::testing::TypeText(spin.Editor(), "12345");
  EXPECT_EQ(spin.Text(), "123");
}

TEST(FormPlacement, SavesAndRestoresGeometryAndStateBySection) {
  lgoty::testing::TestApp();
  QFile::remove(TFormPlacement::IniFileName());
  EXPECT_TRUE(TFormPlacement::IniFileName().endsWith(".INI"));
  {
    QWidget form;
    form.setGeometry(40, 50, 320, 240);
    TFormPlacement placement(&form, "TFMain");
    placement.Save();
  }
  {
    QSettings ini(TFormPlacement::IniFileName(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("TFMain/Width").toInt(), 320);
    EXPECT_EQ(ini.value("TFMain/State").toInt(), 0);
    EXPECT_FALSE(ini.contains("TFPers/Width"));
  }
  QWidget again;
  again.resize(10, 10);
  TFormPlacement placement(&again, "TFMain");
  placement.Restore();
  EXPECT_EQ(again.size(), QSize(320, 240));
  EXPECT_EQ(again.pos(), QPoint(40, 50));

  QWidget other;
  other.resize(77, 66);
  TFormPlacement none(&other, "TFPers");
  none.Restore();  // no entry: as designed
  EXPECT_EQ(other.size(), QSize(77, 66));
}

TEST(FormPlacement, AWindowSavedPartlyOffScreenComesBackWithItsTitleBarOnScreen) {
  lgoty::testing::TestApp();
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  {
    QSettings ini(TFormPlacement::IniFileName(), QSettings::IniFormat);
    ini.setValue("TFHigh/Left", screen.left() - 1);
    ini.setValue("TFHigh/Top", screen.top() - 60);
    ini.setValue("TFHigh/Width", 300);
    ini.setValue("TFHigh/Height", 200);
  }
  QWidget form;
  TFormPlacement placement(&form, "TFHigh");
  placement.Restore();
  EXPECT_EQ(form.size(), QSize(300, 200));
  EXPECT_GE(form.geometry().top(), screen.top() + 20);
  // Saving and restoring again keeps the place: nothing creeps from start to start.
  const QRect first = form.geometry();
  auto current = std::make_unique<QWidget>();
  current->setGeometry(first);
  for (int start = 0; start < 5; ++start) {
    TFormPlacement(current.get(), "TFHigh").Save();
    auto next = std::make_unique<QWidget>();
    TFormPlacement(next.get(), "TFHigh").Restore();
    EXPECT_EQ(next->geometry(), first) << "start " << start;
    current = std::move(next);
  }
  QRect nowhere(screen.right() + 5000, screen.bottom() + 5000, 100, 100);
  EXPECT_FALSE(TFormPlacement::FitOnScreen(nowhere));
}

TEST(FormPlacement, GarbageEntriesLeaveTheWindowAsDesigned) {
  lgoty::testing::TestApp();
  {
    QSettings ini(TFormPlacement::IniFileName(), QSettings::IniFormat);
    ini.setValue("TFBad/Left", "x");
    ini.setValue("TFBad/Top", 1);
    ini.setValue("TFBad/Width", -5);
    ini.setValue("TFBad/Height", 99999999);
  }
  QWidget form;
  form.resize(50, 60);
  TFormPlacement placement(&form, "TFBad");
  placement.Restore();
  EXPECT_EQ(form.size(), QSize(50, 60));
}

}  // namespace
}  // namespace lgoty::ui
