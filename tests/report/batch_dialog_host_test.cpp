// The batch dialog host over the shipped list template: values set by name, then the OK
// button pressed with its handler run; and the clear errors for what is not there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/variant.h"
#include "report/batch_dialog_host.h"
#include "report/data_sets.h"
#include "report/query_data_sets.h"
#include "report/dialog_controls.h"
#include "report/dialog_events.h"
#include "report/dialog_host.h"
#include "report/pages.h"
#include "report/report.h"

namespace lgoty::report {
namespace {

using Args = std::vector<core::Variant>;

const std::string kTemplate = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";

// The list template with its click handler done by hand as the template's script does it:
// "select * from " + OFName + (" WHERE SUMPAY>0" when checked) + " ORDER BY ...".
struct ListReport {
  ListReport() {
    report.LoadFromFile(kTemplate, true);
    page = dynamic_cast<TfrxDialogPage*>(report.FindObject("DialogPage1"));
    check = dynamic_cast<TfrxDialogControl*>(report.FindObject("CheckBox1"));
    query = dynamic_cast<TfrxADOQuery*>(report.FindObject("ADOQuery1"));
    report.SetScriptProcedureCall([this](const std::string& name, Args&) {
      if (name != "Button1OnClick") return false;
      std::string s = "select * from 'lekarstva.dbf'";
      if (check->Checked()) s += " WHERE SUMPAY>0";
      query->SQL().Add(s + " ORDER BY FAMIL, IMJA, OTCH ");
      return true;
    });
    report.SetDialogHost(&host);
  }
  TfrxReport report;
  TfrxDialogPage* page = nullptr;
  TfrxDialogControl* check = nullptr;
  TfrxADOQuery* query = nullptr;
  BatchDialogHost host;
};

TEST(BatchDialogHost, PressesOkOfTheListDialogAndItsHandlerBuildsTheSql) {
  ListReport r;
  ASSERT_TRUE(r.page && r.check && r.query);
  EXPECT_TRUE(RunDialogs(r.report));
  EXPECT_EQ(r.page->ModalResult(), mrOk);
  EXPECT_EQ(r.query->SQL().Text(),
            "select * from 'lekarstva.dbf' WHERE SUMPAY>0 ORDER BY FAMIL, IMJA, OTCH \r\n");
  EXPECT_EQ(r.host.Log(), std::vector<std::string>{"DialogPage1: Button1 -> 1"});
}

TEST(BatchDialogHost, SetsValuesThroughThePropertyTablesBeforeTheClick) {
  ListReport r;
  r.host.Set("CheckBox1.Checked=False");
  r.host.Click("Button1");
  EXPECT_TRUE(RunDialogs(r.report));
  EXPECT_FALSE(r.check->Checked());
  EXPECT_EQ(r.check->State(), TCheckBoxState::cbUnchecked);
  EXPECT_EQ(r.query->SQL().Text(), "select * from 'lekarstva.dbf' ORDER BY FAMIL, IMJA, OTCH \r\n");
}

TEST(BatchDialogHost, CloseBoxCancelsTheRunWithoutRunningTheHandler) {
  ListReport r;
  r.host.CloseBox();
  EXPECT_FALSE(RunDialogs(r.report));
  EXPECT_EQ(r.query->SQL().Count(), 0);
  EXPECT_EQ(r.host.Log(), std::vector<std::string>{"DialogPage1: close box -> 2"});
}

TEST(BatchDialogHost, NestedPropertiesEnumerationsNumbersAndLists) {
  ListReport r;
  auto* combo = r.page->Add(std::make_unique<TfrxComboBoxControl>());
  combo->SetName("ComboBox1");
  r.host.Set("CheckBox1.State=cbGrayed");
  r.host.Set("CheckBox1.Font.Name=Arial");
  r.host.Set("CheckBox1.Width=80.5");
  r.host.Set("CheckBox1.Height=20,25");
  r.host.Set("ComboBox1.Items=один\nдва");
  r.host.Set("ComboBox1.Text=два = 2");
  EXPECT_TRUE(RunDialogs(r.report));
  EXPECT_EQ(r.check->State(), TCheckBoxState::cbGrayed);
  EXPECT_EQ(r.check->Font().name, "Arial");
  EXPECT_DOUBLE_EQ(r.check->Width(), 80.5);
  EXPECT_DOUBLE_EQ(r.check->Height(), 20.25);
  EXPECT_EQ(combo->lines.Count(), 2);
  EXPECT_EQ(combo->text, "два = 2");
}

// Each bad request fails before anything is set or clicked, with the name in the message.
TEST(BatchDialogHost, UnknownNamesAndBadValuesAreClearErrors) {
  struct Case {
    const char* set;
    const char* click;
    const char* message_part;
  };
  const Case cases[] = {
      {"CheckBox9.Checked=True", nullptr, "no object named CheckBox9"},
      {"CheckBox1.Checkd=True", nullptr, "has no property Checkd"},
      {"CheckBox1.Caption.Size=1", nullptr, "CheckBox1.Caption has no properties"},
      {"CheckBox1.Checked=Maybe", nullptr, "Cannot set CheckBox1.Checked to \"Maybe\""},
      {"CheckBox1.Width=wide", nullptr, "Cannot set CheckBox1.Width"},
      {"CheckBox1.State=cbSometimes", nullptr, "Cannot set CheckBox1.State"},
      {nullptr, "Button7", "no object named Button7"},
      {nullptr, "CheckBox1", "CheckBox1 is not a button"},
  };
  for (const Case& c : cases) {
    ListReport r;
    if (c.set) r.host.Set(c.set);
    if (c.click) r.host.Click(c.click);
    try {
      RunDialogs(r.report);
      ADD_FAILURE() << "no error for " << (c.set ? c.set : c.click);
    } catch (const EDialogError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message_part), std::string::npos) << e.what();
    }
    EXPECT_EQ(r.query->SQL().Count(), 0) << "the handler ran for " << (c.set ? c.set : c.click);
  }
}

TEST(BatchDialogHost, MalformedAssignmentsAreRefused) {
  for (const char* text : {"CheckBox1", "CheckBox1=True", ".Checked=True", "CheckBox1.=1"}) {
    EXPECT_THROW(ParseDialogAssignment(text), EDialogError) << text;
  }
  DialogAssignment a = ParseDialogAssignment(" Edit1 . Text = a=b ");
  EXPECT_EQ(a.object, "Edit1");
  EXPECT_EQ(a.property, "Text");
  EXPECT_EQ(a.value, " a=b ");
}

TEST(BatchDialogHost, DialogThatStaysOpenOrCannotBePressedIsAnError) {
  {
    ListReport r;
    auto* button = dynamic_cast<TfrxDialogControl*>(r.report.FindObject("Button1"));
    button->modal_result = mrNone;  // no OK button left: name it
    EXPECT_THROW(RunDialogs(r.report), EDialogError);
    r.host.Click("Button1");
    try {
      RunDialogs(r.report);
      ADD_FAILURE();
    } catch (const EDialogError& e) {
      EXPECT_NE(std::string(e.what()).find("stayed open after Button1"), std::string::npos);
    }
  }
  {
    ListReport r;
    r.host.Set("Button1.Enabled=False");
    EXPECT_THROW(RunDialogs(r.report), EDialogError);
    EXPECT_EQ(r.query->SQL().Count(), 0);
  }
}

TEST(BatchDialogHost, ValuesForAnotherPageWaitForThatPage) {
  ListReport r;
  auto* page2 = r.report.Add(std::make_unique<TfrxDialogPage>());
  page2->SetName("DialogPage2");
  auto* edit = page2->Add(std::make_unique<TfrxEditControl>());
  edit->SetName("Edit1");
  auto* done = page2->Add(std::make_unique<TfrxButtonControl>());
  done->SetName("Done");
  done->modal_result = mrYes;
  std::string text_when_page1_closed;
  r.report.SetScriptProcedureCall([&](const std::string& name, Args&) {
    if (name == "Button1OnClick") text_when_page1_closed = edit->text;
    return name == "Button1OnClick";
  });
  r.host.Set("Edit1.Text=Петров");
  r.host.Click("Done");
  EXPECT_TRUE(RunDialogs(r.report));
  EXPECT_EQ(text_when_page1_closed, "");
  EXPECT_EQ(edit->text, "Петров");
  EXPECT_EQ(r.host.Log(),
            (std::vector<std::string>{"DialogPage1: Button1 -> 1", "DialogPage2: Done -> 6"}));
}

}  // namespace
}  // namespace lgoty::report
