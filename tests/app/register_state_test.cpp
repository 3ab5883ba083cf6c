// The register's commands without a screen: a scripted port stands in for the dialogs.
#include "app/register_state.h"
#include "app/totals.h"

#include <gtest/gtest.h>

#include "core/format_settings.h"
#include "platform/file.h"
#include "tests/app/register_files.h"
#include "tests/app/scripted_port.h"

namespace lgoty::app {
namespace {

using testing::DentalFields;
using testing::MedicinesFields;
using testing::Person;
using testing::ScriptedPort;

class RegisterStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::TestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  std::string Register(const std::string& name, const std::vector<Person>& people,
                       const std::vector<std::string>& fields = MedicinesFields(),
                       uint8_t ldid = 0x65) {
    const std::string path = folder_ + name;
    testing::WriteRegister(path, fields, people, ldid);
    return path;
  }
  void Open(const std::string& path) {
    port_.files.push_back(path);
    state_.N2Click();
  }
  std::string CurrentSurname() { return state_.Table1().FieldByName("FAMIL").AsString(); }
  int Rows() {
    int rows = 0;
    dbf::TDbf& table = state_.Table1();
    const data::TBookmark here = table.GetBookmark();
    for (table.First(); !table.Eof(); table.Next()) ++rows;
    if (!here.IsEmpty()) table.GotoBookmark(here);
    return rows;
  }

  std::string folder_;
  ScriptedPort port_;
  TRegisterState state_{port_, "lgoty", core::FormatSettings::Russian()};
};

const std::vector<Person> kPeople = {{"Сидоров", "100.00"}, {"ИВАНОВ", "0.00"},
                                     {"Петров", "50.50"},   {"IVANOV", ""},
                                     {"ИВАНОВА", "10.00"},  {"ёлкин", "1.00"},
                                     {"ЁЛКИН", "2.00"}};

TEST_F(RegisterStateTest, EighthFieldRecpetExactlyGivesMedicinesElseDental) {
  Open(Register("med.dbf", kPeople));
  EXPECT_EQ(state_.Kind(), TRegisterKind::kMedicines);
  EXPECT_EQ(state_.Caption(), kMedicinesCaption);
  EXPECT_EQ(state_.NumberField(), "RECEPT");
  EXPECT_EQ(state_.DateField(), "DATERCPT");
  EXPECT_EQ(state_.NumberLabel(), "Рецепт");
  EXPECT_EQ(state_.DateLabel(), "Дата рецепта");

  // The comparison is exact. (The table engine reports field names in capitals whatever
  // the file holds, so a lower-case name reaches it only from elsewhere.)
  std::vector<std::string> lower = MedicinesFields();
  lower[7] = "recept";
  EXPECT_EQ(KindOfFields(lower), TRegisterKind::kDental);
  lower[7] = "RECEPT ";
  EXPECT_EQ(KindOfFields(lower), TRegisterKind::kDental);
  EXPECT_EQ(KindOfFields({"FAMIL", "RECEPT"}), TRegisterKind::kDental);
  EXPECT_EQ(KindOfFields(MedicinesFields()), TRegisterKind::kMedicines);

  Open(Register("dental.dbf", kPeople, DentalFields()));
  EXPECT_EQ(state_.Kind(), TRegisterKind::kDental);
  EXPECT_EQ(state_.Caption(), kDentalCaption);
  EXPECT_EQ(state_.NumberField(), "NARYD");
  EXPECT_EQ(state_.DateLabel(), "Дата наряда");

  // RECEPT present but ninth: still dental.
  std::vector<std::string> moved = {"FAMIL", "IMJA",   "OTCH",   "PYNKAR", "DOC_SER",
                                    "DOC_NUM", "SUMPAY", "DATERCPT", "RECEPT"};
  Open(Register("moved.dbf", kPeople, moved));
  EXPECT_EQ(state_.Kind(), TRegisterKind::kDental);

  Open(Register("dent.dbf", kPeople, DentalFields()));
  EXPECT_EQ(state_.Kind(), TRegisterKind::kDental);
  EXPECT_EQ(state_.Table1().IndexName(), "FAMIL");
  EXPECT_TRUE(state_.Table1().Exclusive());
  EXPECT_EQ(state_.RegisterBaseName(), "dent");
  EXPECT_EQ(state_.RegisterFileName(), "dent.dbf");
  EXPECT_EQ(state_.RegisterFolder(), folder_);
  EXPECT_TRUE(port_.messages.empty());
  EXPECT_EQ(port_.busy_depth, 0);  // the busy cursor went away again
  EXPECT_GE(port_.busy_calls, 4);
  EXPECT_FALSE(port_.last_busy_long);  // a small register needs no progress window
}

TEST_F(RegisterStateTest, OpeningReportsTheIndexBuildsProgressWhileBusy) {
  // Enough rows for reports while the keys are read, not only at the phase changes.
  std::vector<Person> people;
  for (int i = 0; i < 40000; ++i) people.push_back({"Ф" + std::to_string(i), "1.00"});
  Open(Register("big.dbf", people));
  ASSERT_TRUE(state_.Table1().Active());
  EXPECT_EQ(port_.progress_outside_busy, 0);
  ASSERT_GE(port_.progress.size(), 4u);
  EXPECT_DOUBLE_EQ(port_.progress.front(), 0.0);
  EXPECT_DOUBLE_EQ(port_.progress.back(), 1.0);
  for (size_t i = 1; i < port_.progress.size(); ++i) {
    EXPECT_GE(port_.progress[i], port_.progress[i - 1]);
    EXPECT_LE(port_.progress[i], 1.0);
  }
  // A reading-phase report lies strictly between the start and the end.
  EXPECT_GT(port_.progress[1], 0.0);
  EXPECT_LT(port_.progress[1], 1.0);

  // The handler belongs to the open: a later build reports nothing to the port.
  const size_t reported = port_.progress.size();
  state_.Table1().BuildIndex("IMJA", "IMJA", dbf::TIndexOptionSet{dbf::TIndexOption::ixExpression});
  EXPECT_EQ(port_.progress.size(), reported);
  EXPECT_EQ(port_.progress_outside_busy, 0);
}

TEST_F(RegisterStateTest, SecondOpenPostsPendingEditAndCancelLeavesNoRegister) {
  const std::string path = Register("med.dbf", kPeople);
  Open(path);
  state_.Edit1Change("ПЕТ");
  state_.Table1().Edit();
  state_.Table1().FieldByName("SUMPAY").SetAsFloat(77);
  port_.files.push_back(std::nullopt);
  state_.N2Click();
  EXPECT_FALSE(state_.Table1().Active());
  EXPECT_TRUE(state_.RegisterPath().empty());
  EXPECT_EQ(state_.Kind(), TRegisterKind::kNone);
  EXPECT_EQ(state_.NumberField(), "");
  EXPECT_EQ(port_.dialogs_shown, 2);

  // The pending amount reached the file.
  Open(path);
  state_.Edit1Change("ПЕТ");
  EXPECT_EQ(CurrentSurname(), "Петров");
  EXPECT_DOUBLE_EQ(state_.Table1().FieldByName("SUMPAY").AsFloat(), 77);
}

TEST_F(RegisterStateTest, OpenStampsRussianDosDriverIntoByte29) {
  const std::string path = Register("med.dbf", kPeople, MedicinesFields(), 0xC9);
  ASSERT_EQ(testing::ReadByte29(path), 0xC9);
  Open(path);
  EXPECT_TRUE(port_.messages.empty());
  state_.N3Click();
  EXPECT_EQ(testing::ReadByte29(path), 0x65);
}

TEST_F(RegisterStateTest, LockedFileGivesStampErrorThenTheEnginesOpenError) {
  const std::string path = Register("med.dbf", kPeople);
  // Another program holds the file and lets nobody else in.
  auto other = platform::DiskFile::Open(path, platform::FileAccess::Read,
                                        platform::FileShare::DenyReadWrite,
                                        platform::FileCreate::OpenExisting);
  Open(path);
  ASSERT_EQ(port_.messages.size(), 2u);
  EXPECT_EQ(port_.messages[0].caption, "Ошибка");
  EXPECT_EQ(port_.messages[0].icon, TMessageIcon::Error);
  EXPECT_FALSE(port_.messages[0].text.empty());
  EXPECT_EQ(port_.messages[1].caption, "lgoty");
  EXPECT_EQ(port_.messages[1].icon, TMessageIcon::Error);
  EXPECT_FALSE(state_.Table1().Active());
  EXPECT_EQ(state_.Kind(), TRegisterKind::kNone);
  EXPECT_EQ(port_.busy_depth, 0);
}

TEST_F(RegisterStateTest, MissingFileGivesStampErrorThenOpenError) {
  Open(folder_ + "absent.dbf");
  ASSERT_EQ(port_.messages.size(), 2u);
  EXPECT_EQ(port_.messages[0].caption, "Ошибка");
  EXPECT_EQ(port_.messages[1].caption, "lgoty");
  EXPECT_EQ(port_.messages[1].text.back(), '.');
}

TEST_F(RegisterStateTest, SearchFoldsLatinAndCyrillicButNotYo) {
  Open(Register("med.dbf", kPeople));
  state_.Edit1Change("ив");
  EXPECT_EQ(CurrentSurname(), "ИВАНОВ");
  state_.Edit1Change("Iv");
  EXPECT_EQ(CurrentSurname(), "IVANOV");
  state_.Edit1Change("ивановА");
  EXPECT_EQ(CurrentSurname(), "ИВАНОВА");
  // Ё and ё are not folded: "ё" finds the lower-case surname, "Ё" the capital one.
  state_.Edit1Change("ё");
  EXPECT_EQ(CurrentSurname(), "ёлкин");
  state_.Edit1Change("Ё");
  EXPECT_EQ(CurrentSurname(), "ЁЛКИН");
  EXPECT_TRUE(port_.messages.empty());
}

TEST_F(RegisterStateTest, SearchLandsOnNextSurnameAndKeepsRowPastTheLast) {
  Open(Register("med.dbf", {{"Сидоров", "1.00"}, {"ИВАНОВ", "1.00"}, {"Петров", "1.00"}}));
  state_.Edit1Change("ИВАНОВБ");  // no such surname: the next one in order
  EXPECT_EQ(CurrentSurname(), "Петров");
  state_.Edit1Change("ЯЯЯ");  // beyond every surname: the row stays
  EXPECT_EQ(CurrentSurname(), "Петров");
  state_.Edit1Change("");  // cleared box: the row stays
  EXPECT_EQ(CurrentSurname(), "Петров");
  EXPECT_TRUE(port_.messages.empty());
}

TEST_F(RegisterStateTest, SearchWithoutRegisterDoesNothing) {
  state_.Edit1Change("ив");
  EXPECT_TRUE(port_.messages.empty());
  EXPECT_FALSE(state_.Table1().Active());
}

TEST_F(RegisterStateTest, CopyThenCloseStoresIdenticalSecondRow) {
  const std::string path = Register("med.dbf", kPeople);
  Open(path);
  state_.Edit1Change("ПЕТ");
  const int before = Rows();
  port_.person_window = [&] {
    EXPECT_EQ(state_.Table1().State(), data::TDataSetState::dsInsert);
    EXPECT_TRUE(state_.PersonCloseClick());
  };
  state_.N6Click();
  EXPECT_EQ(port_.person_windows_shown, 1);
  EXPECT_EQ(state_.Table1().State(), data::TDataSetState::dsBrowse);
  EXPECT_EQ(Rows(), before + 1);
  int petrovs = 0;
  for (state_.Table1().First(); !state_.Table1().Eof(); state_.Table1().Next()) {
    if (CurrentSurname() != "Петров") continue;
    ++petrovs;
    EXPECT_DOUBLE_EQ(state_.Table1().FieldByName("SUMPAY").AsFloat(), 50.5);
    EXPECT_EQ(state_.Table1().FieldByName("RECEPT").AsString(), "ЛС 000001");
  }
  EXPECT_EQ(petrovs, 2);
}

TEST_F(RegisterStateTest, EditWithoutChangeIsNotPostedAndOtherCloseLeavesEditState) {
  Open(Register("med.dbf", kPeople));
  port_.person_window = [&] {};  // closed with the title-bar box: nothing posted
  state_.N8Click();
  EXPECT_EQ(state_.Table1().State(), data::TDataSetState::dsEdit);
  EXPECT_TRUE(state_.PersonCloseClick());  // not modified: stays in edit state
  EXPECT_EQ(state_.Table1().State(), data::TDataSetState::dsEdit);
}

TEST_F(RegisterStateTest, EditingCommandsWithoutRegisterDoNothing) {
  state_.N8Click();
  state_.N5Click();
  state_.N6Click();
  EXPECT_EQ(port_.person_windows_shown, 0);
  EXPECT_TRUE(port_.messages.empty());
}

TEST_F(RegisterStateTest, DeleteAsksAndOnlyYesDeletes) {
  Open(Register("med.dbf", kPeople));
  const int before = Rows();
  port_.answers = {false};
  state_.N7Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].caption, "Удалить запись");
  EXPECT_EQ(port_.messages[0].text, "Вы уверены?\r\n");
  EXPECT_EQ(Rows(), before);
  port_.answers = {true};
  state_.N7Click();
  EXPECT_EQ(Rows(), before - 1);
}

TEST_F(RegisterStateTest, DeleteWithoutRegisterReportsTheClosedTable) {
  port_.answers = {true};
  state_.N7Click();
  ASSERT_EQ(port_.messages.size(), 2u);
  EXPECT_EQ(port_.messages[1].caption, "lgoty");
  EXPECT_EQ(port_.messages[1].icon, TMessageIcon::Error);
}

TEST_F(RegisterStateTest, TotalsCountNonZeroAmountsAndKeepTheRow) {
  Open(Register("three.dbf", {{"Б", "100.00"}, {"В", "0.00"}, {"А", "50.50"}}));
  state_.Edit1Change("В");
  state_.N9Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].caption, "lgoty");
  EXPECT_EQ(port_.messages[0].text, "Количество ненулевых записей : 2\r\nСумма : 150,5");
  EXPECT_EQ(CurrentSurname(), "В");
  EXPECT_EQ(port_.grid_attachments, (std::vector<bool>{false, true}));
  EXPECT_FALSE(state_.Table1().ControlsDisabled());
}

TEST_F(RegisterStateTest, TotalsAddNegativesSkipBlanksAndHiddenRows) {
  Open(Register("signs.dbf", {{"А", "-20.25"}, {"Б", ""}, {"В", "1234.50"}, {"Г", "5.00"}}));
  state_.Edit1Change("Г");
  state_.Table1().Delete();
  state_.N9Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "Количество ненулевых записей : 2\r\nСумма : 1214,25");
}

TEST_F(RegisterStateTest, TotalsAreExactInKopecksAndShowTheBusyCursor) {
  // As doubles these add up to 9380755.85999999 and to noise in the last digits.
  Open(Register("money.dbf", {{"А", "9380000.01"}, {"Б", "755.85"}, {"В", "0.10"},
                              {"Г", "999999999.99"}, {"Д", "-0.05"}}));
  const int busy_before = port_.busy_calls;
  state_.N9Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text,
            "Количество ненулевых записей : 5\r\nСумма : 1009380755,9");
  EXPECT_EQ(port_.busy_calls, busy_before + 1);
  EXPECT_EQ(port_.busy_depth, 0);
}

TEST_F(RegisterStateTest, TotalsSeeAnUnpostedEditAsTheTableShowsIt) {
  Open(Register("edit.dbf", {{"А", "1.00"}, {"Б", "2.00"}}));
  state_.Table1().First();
  state_.Table1().Edit();
  state_.Table1().FieldByName("SUMPAY").SetAsFloat(10.25);
  state_.N9Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "Количество ненулевых записей : 2\r\nСумма : 12,25");
}

TEST(TotalsFormat, ShortestFormWithoutNoise) {
  EXPECT_EQ(FormatUnits(938075586, 2, ","), "9380755,86");
  EXPECT_EQ(FormatUnits(7922932292918, 2, ","), "79229322929,18");
  EXPECT_EQ(FormatUnits(150, 2, ","), "1,5");
  EXPECT_EQ(FormatUnits(5, 2, "."), "0.05");
  EXPECT_EQ(FormatUnits(-75, 2, ","), "-0,75");
  EXPECT_EQ(FormatUnits(0, 2, ","), "0");
  EXPECT_EQ(FormatUnits(12300, 2, ","), "123");
  EXPECT_EQ(FormatUnits(42, 0, ","), "42");
}

TEST_F(RegisterStateTest, TotalsOfEmptyRegisterAndWithoutRegister) {
  state_.N9Click();
  ASSERT_EQ(port_.messages.size(), 1u);
  EXPECT_EQ(port_.messages[0].text, "Файл должен быть открыт!");
  EXPECT_TRUE(port_.grid_attachments.empty());
  Open(Register("empty.dbf", {}));
  state_.N9Click();
  ASSERT_EQ(port_.messages.size(), 2u);
  EXPECT_EQ(port_.messages[1].text, "Количество ненулевых записей : 0\r\nСумма : 0");
}

TEST_F(RegisterStateTest, CloseKeepsNamesAndTheSurnameTag) {
  const std::string path = Register("med.dbf", kPeople);
  Open(path);
  state_.N3Click();
  EXPECT_FALSE(state_.Table1().Active());
  EXPECT_EQ(state_.RegisterFileName(), "med.dbf");
  EXPECT_EQ(state_.Caption(), kMedicinesCaption);
  EXPECT_TRUE(std::filesystem::exists(platform::ChangeFileExt(path, ".mdx")));
  Open(path);  // the tag is built again over the one left on disk
  EXPECT_TRUE(port_.messages.empty());
  EXPECT_EQ(state_.Table1().IndexName(), "FAMIL");
}

TEST(ErrorReport, AddsFullStopAfterCharactersAboveIt) {
  EXPECT_EQ(ErrorReportText("Файл не найден"), "Файл не найден.");
  EXPECT_EQ(ErrorReportText("done."), "done.");
  EXPECT_EQ(ErrorReportText("a,"), "a,");  // ',' sorts before '.'
  EXPECT_EQ(ErrorReportText("x)"), "x)");
  EXPECT_EQ(ErrorReportText("'' is not a valid integer value"),
            "'' is not a valid integer value.");
  EXPECT_EQ(ErrorReportText(""), "");
}

}  // namespace
}  // namespace lgoty::app
