// Folding, the command line and the layout step.
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include "app/window_style.h"
#include "tests/ui/qt_test_support.h"

#include "app/command_line.h"
#include "app/folding.h"
#include "app/layout_step.h"

namespace lgoty::app {
namespace {

TEST(Folding, LatinAndCyrillicFoldYoDoesNot) {
  EXPECT_EQ(UpperFold("ив"), "ИВ");
  EXPECT_EQ(UpperFold("Iv"), "IV");
  EXPECT_EQ(UpperFold("абвгдежзийклмнопрстуфхцчшщъыьэюя"), "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
  EXPECT_EQ(LowerFold("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"), "абвгдежзийклмнопрстуфхцчшщъыьэюя");
  EXPECT_EQ(UpperFold("ёЁ"), "ёЁ");
  EXPECT_EQ(LowerFold("ЁёABCxyz"), "Ёёabcxyz");
  EXPECT_EQ(UpperFold("ß 1-é"), "ß 1-é");  // other letters pass unchanged
  EXPECT_EQ(UpperFold(std::string("\xD0", 1)), std::string("\xD0", 1));  // cut sequence
}

TEST(CommandLine, OnlySlashFFirstSwitchesFullEdit) {
  EXPECT_TRUE(ParseCommandLine({"/f"}).full_edit);
  EXPECT_TRUE(ParseCommandLine({"/F"}).full_edit);
  EXPECT_EQ(ParseCommandLine({"/F"}).start_argument, "/f");
  EXPECT_FALSE(ParseCommandLine({"-f"}).full_edit);
  EXPECT_FALSE(ParseCommandLine({"f"}).full_edit);
  EXPECT_FALSE(ParseCommandLine({"x.dbf", "/f"}).full_edit);
  EXPECT_FALSE(ParseCommandLine({}).full_edit);
  EXPECT_EQ(ParseCommandLine({}).start_argument, "");
}

TEST(CommandLine, RegisterPathAfterTheOptionalStartArgument) {
  EXPECT_EQ(ParseCommandLine({"/f", "a/Reg.dbf"}).register_path, "a/Reg.dbf");
  EXPECT_EQ(ParseCommandLine({"reg.dbf"}).register_path, "reg.dbf");
  EXPECT_EQ(ParseCommandLine({"/home/x/reg.dbf"}).register_path, "/home/x/reg.dbf");
  EXPECT_FALSE(ParseCommandLine({"/home/x/reg.dbf"}).full_edit);
  EXPECT_EQ(ParseCommandLine({"f"}).register_path, "f");
  EXPECT_EQ(ParseCommandLine({"/f"}).register_path, "");
  EXPECT_EQ(ParseCommandLine({"/f"}).error, "");
}

TEST(CommandLine, UnknownOptionsAndExtraArgumentsAreRefused) {
  EXPECT_EQ(ParseCommandLine({"-f", "FILE.dbf"}).error, "unknown option: -f");
  EXPECT_EQ(ParseCommandLine({"-f", "FILE.dbf"}).register_path, "");
  EXPECT_EQ(ParseCommandLine({"x.dbf", "/f"}).error, "unknown option: /f");
  EXPECT_EQ(ParseCommandLine({"a.dbf", "b.dbf"}).error, "unexpected argument: b.dbf");
  EXPECT_TRUE(ParseCommandLine({"--help"}).show_help);
  EXPECT_TRUE(ParseCommandLine({"/f", "-h"}).show_help);
  EXPECT_FALSE(ParseCommandLine({"a.dbf"}).show_help);
}

TEST(CommandLine, ListReportNeedsARegisterAndAPdf) {
  const TCommandLine full = ParseCommandLine({"--list-report", "r.dbf", "--pdf", "o.pdf", "--all"});
  EXPECT_TRUE(full.list_report);
  EXPECT_EQ(full.error, "");
  EXPECT_EQ(full.register_path, "r.dbf");
  EXPECT_EQ(full.pdf_path, "o.pdf");
  EXPECT_TRUE(full.all_rows);
  EXPECT_FALSE(ParseCommandLine({"--list-report", "--pdf", "o.pdf", "r.dbf"}).all_rows);
  EXPECT_EQ(ParseCommandLine({"--list-report", "--pdf", "o.pdf", "r.dbf"}).register_path, "r.dbf");
  EXPECT_EQ(ParseCommandLine({"--list-report", "r.dbf"}).error, "--list-report needs --pdf OUT.pdf");
  EXPECT_EQ(ParseCommandLine({"--list-report", "--pdf", "o.pdf"}).error,
            "--list-report needs a register file");
  EXPECT_EQ(ParseCommandLine({"--list-report", "r.dbf", "--pdf"}).error, "--pdf needs a file name");
  EXPECT_EQ(ParseCommandLine({"--list-report", "r.dbf", "--pdf", "o.pdf", "--x"}).error,
            "unknown option: --x");
}

TEST(LayoutStep, Window400By300) {
  TMainLayout l;
  l.edit1 = {8, 8, 193, 21};
  l.label8 = {207, 11, 44, 13};
  l.label9 = {337, 11, 80, 13};
  l.spin_edit1 = {424, 8, 50, 21};
  l.grid = {8, 30, 467, 297};
  l.exit_button = {496, 304, 75, 25};
  ApplyLayoutStep(l, 400, 300);
  EXPECT_EQ(l.exit_button, (TBox{400 - 75 - 50, 300 - 25 - 70, 75, 25}));
  EXPECT_EQ(l.grid, (TBox{8, 39, 467, 300 - 39 - 70}));
  EXPECT_EQ(l.label8.left, 8 + 193 + 5);
  EXPECT_EQ(l.label9.left, l.label8.left + 44 + 15);
  EXPECT_EQ(l.spin_edit1.left, l.label9.left + 80 + 5);
  ApplyLayoutStep(l, 100, 50);  // smaller than the margins: the grid has no height left
  EXPECT_EQ(l.grid.height, 0);
}

}  // namespace
}  // namespace lgoty::app

namespace lgoty::app {
namespace {

TEST(Translations, StandardButtonsSpeakRussianWhateverTheLocale) {
  lgoty::testing::TestApp();
  ASSERT_TRUE(InstallRussianTranslations());
  QMessageBox box(QMessageBox::Question, "Удалить запись", "Вы уверены?",
                  QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), "Да");
  EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), "Нет");
}

}  // namespace
}  // namespace lgoty::app
