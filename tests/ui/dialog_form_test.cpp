// Dialog pages as Qt windows: the list template's dialog as the operator sees it, the
// widgets bound to the control objects both ways, Enter and Escape, and the events the
// template's script handles.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>

#include "core/code_page.h"
#include "core/format_settings.h"
#include "core/variant.h"
#include "qt_test_support.h"
#include "report/data_sets.h"
#include "report/dialog_controls.h"
#include "report/dialog_events.h"
#include "report/dialog_host.h"
#include "report/pages.h"
#include "report/report.h"
#include "ui/dialog_form.h"
#include "ui/qt_dialog_host.h"

namespace lgoty::ui {
namespace {

using report::TfrxDialogControl;
using Args = std::vector<core::Variant>;

const std::string kTemplate = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";

// The list template, its click handler done by hand as the template's script does it, and
// any further procedures a test defines.
struct ListDialog {
  ListDialog() {
    testing::TestApp();
    core::SetSystemCodePages({1251, 866});
    core::SetDefaultFormatSettings(core::FormatSettings::Russian());
    report.LoadFromFile(kTemplate, true);
    page = dynamic_cast<report::TfrxDialogPage*>(report.FindObject("DialogPage1"));
    check = dynamic_cast<TfrxDialogControl*>(report.FindObject("CheckBox1"));
    button = dynamic_cast<TfrxDialogControl*>(report.FindObject("Button1"));
    query = dynamic_cast<report::TfrxADOQuery*>(report.FindObject("ADOQuery1"));
    procedures["Button1OnClick"] = [this](Args&) {
      std::string s = "select * from 'lekarstva.dbf'";
      if (check->Checked()) s += " WHERE SUMPAY>0";
      query->SQL().Add(s + " ORDER BY FAMIL, IMJA, OTCH ");
    };
    report.SetScriptProcedureCall([this](const std::string& name, Args& args) {
      auto it = procedures.find(name);
      if (it == procedures.end()) return false;
      calls.push_back(name);
      it->second(args);
      return true;
    });
    host.SetOnFormCreated([this](DialogForm& f) { form = &f; });
    report.SetDialogHost(&host);
  }
  // Runs the dialogs; `inside` drives the window while it is up.
  bool Run(std::function<void(QWidget*)> inside) {
    testing::WhenModal(std::move(inside));
    return report::RunDialogs(report);
  }
  template <class W>
  W* Widget(TfrxDialogControl* control) {
    return form ? qobject_cast<W*>(form->WidgetFor(*control)) : nullptr;
  }

  report::TfrxReport report;
  report::TfrxDialogPage* page = nullptr;
  TfrxDialogControl* check = nullptr;
  TfrxDialogControl* button = nullptr;
  report::TfrxADOQuery* query = nullptr;
  std::map<std::string, std::function<void(Args&)>> procedures;
  std::vector<std::string> calls;
  QtDialogHost host;
  DialogForm* form = nullptr;
};

const char* kWhere = "select * from 'lekarstva.dbf' WHERE SUMPAY>0 ORDER BY FAMIL, IMJA, OTCH \r\n";
const char* kAll = "select * from 'lekarstva.dbf' ORDER BY FAMIL, IMJA, OTCH \r\n";

TEST(DialogForm, ListDialogShowsItsCaptionCheckBoxAndButtonAsDesigned) {
  ListDialog d;
  ASSERT_TRUE(d.page && d.check && d.button && d.query);
  bool seen = false;
  EXPECT_TRUE(d.Run([&](QWidget* modal) {
    seen = true;
    EXPECT_EQ(modal->windowTitle(), QString::fromUtf8("параметры"));
    // bsDialog: the client area is fixed at ClientWidth x ClientHeight.
    EXPECT_EQ(modal->size(), QSize(116, 103));
    EXPECT_EQ(modal->minimumSize(), modal->maximumSize());
    EXPECT_EQ(modal->font().family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(modal->font().pixelSize(), 11);
    auto* box = d.Widget<QCheckBox>(d.check);
    auto* ok = d.Widget<QPushButton>(d.button);
    ASSERT_TRUE(box && ok);
    EXPECT_EQ(box->text(), QString::fromUtf8("Больше 0"));
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(box->geometry(), QRect(20, 24, 69, 17));
    EXPECT_EQ(ok->text(), QString::fromUtf8("ОК"));
    EXPECT_EQ(ok->geometry(), QRect(16, 68, 75, 25));
    EXPECT_EQ(box->font().family(), QStringLiteral("Liberation Sans"));
    // The check box comes first in tab order and has the focus.
    EXPECT_EQ(modal->focusWidget(), box);
    QTest::keyClick(modal, Qt::Key_Return);
  }));
  EXPECT_TRUE(seen);
  EXPECT_EQ(d.page->ModalResult(), report::mrOk);
  EXPECT_EQ(d.calls, std::vector<std::string>{"Button1OnClick"});
  EXPECT_EQ(d.query->SQL().Text(), kWhere);
}

TEST(DialogForm, TogglingTheCheckBoxChangesTheControlBeforeOkRunsTheHandler) {
  ListDialog d;
  EXPECT_TRUE(d.Run([&](QWidget*) {
    auto* box = d.Widget<QCheckBox>(d.check);
    ASSERT_TRUE(box);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(d.check->Checked());
    EXPECT_EQ(d.check->State(), report::TCheckBoxState::cbUnchecked);
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_TRUE(d.check->Checked());
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::mouseClick(d.Widget<QPushButton>(d.button), Qt::LeftButton);
  }));
  EXPECT_EQ(d.query->SQL().Text(), kAll);
}

TEST(DialogForm, EscapeAndTheCloseBoxCancelWithoutRunningTheHandler) {
  {
    ListDialog d;
    EXPECT_FALSE(d.Run([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }));
    EXPECT_EQ(d.page->ModalResult(), report::mrCancel);
    EXPECT_EQ(d.query->SQL().Count(), 0);
  }
  {
    ListDialog d;
    EXPECT_FALSE(d.Run([](QWidget* modal) { modal->close(); }));
    EXPECT_TRUE(d.calls.empty());
  }
}

TEST(DialogForm, CloseQueryThatRefusesKeepsTheWindowUp) {
  ListDialog d;
  int asked = 0;
  d.page->on_close_query = "AskClose";
  d.procedures["AskClose"] = [&](Args& args) { args[1] = core::Variant(++asked > 1); };
  EXPECT_FALSE(d.Run([&](QWidget* modal) {
    QTest::keyClick(modal, Qt::Key_Escape);
    EXPECT_TRUE(modal->isVisible());
    EXPECT_EQ(d.page->ModalResult(), report::mrNone);
    QTest::keyClick(modal, Qt::Key_Escape);
  }));
  EXPECT_EQ(asked, 2);
}

TEST(DialogForm, ScriptChangesToControlsReachTheWidgets) {
  ListDialog d;
  d.check->on_click = "CheckBox1OnClick";
  d.procedures["CheckBox1OnClick"] = [&](Args& args) {
    auto* sender = dynamic_cast<TfrxDialogControl*>(args[0].AsObject());
    ASSERT_EQ(sender, d.check);
    d.button->enabled = d.check->Checked();
    d.button->caption = d.check->Checked() ? "ОК" : "нельзя";
  };
  EXPECT_FALSE(d.Run([&](QWidget* modal) {
    auto* box = d.Widget<QCheckBox>(d.check);
    auto* ok = d.Widget<QPushButton>(d.button);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(ok->text(), QString::fromUtf8("нельзя"));
    // Enter presses nothing while the only button is disabled.
    QTest::keyClick(modal, Qt::Key_Return);
    EXPECT_TRUE(modal->isVisible());
    QTest::keyClick(modal, Qt::Key_Escape);
  }));
  EXPECT_TRUE(d.query->SQL().Count() == 0);
}

TEST(DialogForm, PageSeesKeysFirstAndMayChangeOrSwallowThem) {
  ListDialog d;
  auto* edit = d.page->Add(std::make_unique<report::TfrxEditControl>());
  edit->SetName("Edit1");
  edit->SetBounds(10, 45, 90, 21);
  edit->on_change = "Edit1OnChange";
  int changes = 0;
  d.procedures["Edit1OnChange"] = [&](Args&) { ++changes; };
  d.page->on_key_press = "PageKeyPress";
  d.procedures["PageKeyPress"] = [](Args& args) {
    std::string key = args[1].AsString();
    if (key == "x") args[1] = core::Variant(std::string());
    if (key == "ж") args[1] = core::Variant(std::string("Ж"));
  };
  d.page->on_key_down = "PageKeyDown";
  d.procedures["PageKeyDown"] = [](Args& args) {
    if (args[1].AsInteger() == 13) args[1] = core::Variant(int32_t{0});  // no Enter
  };
  EXPECT_FALSE(d.Run([&](QWidget* modal) {
    auto* line = d.Widget<QLineEdit>(edit);
    ASSERT_TRUE(line);
    line->setFocus();
    testing::TypeText(line, QString::fromUtf8("аxж"));
    EXPECT_EQ(line->text(), QString::fromUtf8("аЖ"));
    EXPECT_EQ(edit->text, "аЖ");
    QTest::keyClick(modal, Qt::Key_Return);
    EXPECT_TRUE(modal->isVisible());
    QTest::keyClick(modal, Qt::Key_Escape);
  }));
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(d.calls.end() == std::find(d.calls.begin(), d.calls.end(), "Button1OnClick"));
}

TEST(DialogForm, DefaultAndCancelButtonsAnswerEnterAndEscape) {
  ListDialog d;
  auto* cancel = d.page->Add(std::make_unique<report::TfrxButtonControl>());
  cancel->SetName("Button2");
  cancel->cancel = true;
  cancel->modal_result = report::mrAbort;
  auto* yes = d.page->Add(std::make_unique<report::TfrxButtonControl>());
  yes->SetName("Button3");
  yes->default_button = true;
  yes->modal_result = report::mrYes;
  EXPECT_TRUE(d.Run([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); }));
  EXPECT_EQ(d.page->ModalResult(), report::mrAbort);
  EXPECT_TRUE(d.Run([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); }));
  EXPECT_EQ(d.page->ModalResult(), report::mrYes);
  EXPECT_TRUE(d.calls.empty());
  // A focused button is the one Enter presses; in a memo Enter starts a new line.
  auto* memo = d.page->Add(std::make_unique<report::TfrxMemoControl>());
  memo->SetName("MemoBox1");
  EXPECT_TRUE(d.Run([&](QWidget* modal) {
    auto* text = d.Widget<QPlainTextEdit>(memo);
    ASSERT_TRUE(text);
    text->setFocus();
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_TRUE(modal->isVisible());
    EXPECT_EQ(memo->lines.Count(), 2);
    d.Widget<QPushButton>(cancel)->setFocus();
    QTest::keyClick(modal, Qt::Key_Return);
  }));
  EXPECT_EQ(d.page->ModalResult(), report::mrAbort);
}

TEST(DialogForm, ScriptErrorClosesTheWindowAndReachesTheCaller) {
  ListDialog d;
  d.procedures["Button1OnClick"] = [](Args&) { throw std::runtime_error("Undeclared identifier: OFName"); };
  try {
    d.Run([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); });
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Undeclared identifier: OFName");
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(DialogForm, EveryControlClassHasItsWidgetBoundBothWays) {
  ListDialog d;
  auto add = [&](auto control, const char* name, double top) {
    auto* c = d.page->Add(std::move(control));
    c->SetName(name);
    c->SetTop(top);
    return c;
  };
  auto* group = add(std::make_unique<report::TfrxGroupBoxControl>(), "GroupBox1", 0);
  auto* radio1 = group->Add(std::make_unique<report::TfrxRadioButtonControl>());
  radio1->SetName("RadioButton1");
  radio1->SetChecked(true);
  auto* radio2 = group->Add(std::make_unique<report::TfrxRadioButtonControl>());
  radio2->SetName("RadioButton2");
  radio2->SetTop(20);
  auto* label = add(std::make_unique<report::TfrxLabelControl>(), "Label1", 0);
  label->caption = "Фамилия";
  auto* memo = add(std::make_unique<report::TfrxMemoControl>(), "MemoBox1", 0);
  memo->lines.Add("строка");
  auto* list = add(std::make_unique<report::TfrxListBoxControl>(), "ListBox1", 0);
  list->lines.SetText("один\nдва\n");
  auto* combo = add(std::make_unique<report::TfrxComboBoxControl>(), "ComboBox1", 0);
  combo->lines.SetText("один\nдва\n");
  combo->combo_style = 2;  // csDropDownList
  auto* date = add(std::make_unique<report::TfrxDateEditControl>(), "DateEdit1", 0);
  date->date = 45000;  // 15.03.2023
  for (auto* c : std::initializer_list<report::TfrxDialogControl*>{
           add(std::make_unique<report::TfrxPanelControl>(), "Panel1", 0),
           add(std::make_unique<report::TfrxImageControl>(), "Image1", 0),
           add(std::make_unique<report::TfrxBevelControl>(), "Bevel1", 0),
           add(std::make_unique<report::TfrxBitBtnControl>(), "BitBtn1", 0),
           add(std::make_unique<report::TfrxSpeedButtonControl>(), "SpeedButton1", 0),
           add(std::make_unique<report::TfrxMaskEditControl>(), "MaskEdit1", 0),
           add(std::make_unique<report::TfrxCheckListBoxControl>(), "CheckListBox1", 0),
           add(std::make_unique<report::TfrxDBLookupComboBox>(), "DBLookupComboBox1", 0)}) {
    c->SetVisible(true);
  }
  EXPECT_FALSE(d.Run([&](QWidget* modal) {
    for (report::TfrxComponent* object : d.page->AllObjects()) {
      auto* control = dynamic_cast<TfrxDialogControl*>(object);
      if (control) {
        EXPECT_NE(d.form->WidgetFor(*control), nullptr) << control->Name();
      }
    }
    auto* r2 = d.Widget<QRadioButton>(radio2);
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->parentWidget(), d.Widget<QGroupBox>(group));
    QTest::mouseClick(r2, Qt::LeftButton, {}, QPoint(5, r2->height() / 2));
    EXPECT_TRUE(radio2->Checked());
    EXPECT_FALSE(radio1->Checked());
    EXPECT_EQ(d.Widget<QLabel>(label)->text(), QString::fromUtf8("Фамилия"));
    EXPECT_EQ(d.Widget<QPlainTextEdit>(memo)->toPlainText(), QString::fromUtf8("строка"));
    d.Widget<QListWidget>(list)->setCurrentRow(1);
    EXPECT_EQ(list->item_index, 1);
    auto* box = d.Widget<QComboBox>(combo);
    EXPECT_FALSE(box->isEditable());
    box->setCurrentIndex(1);
    EXPECT_EQ(combo->text, "два");
    EXPECT_EQ(combo->item_index, 1);
    auto* picker = d.Widget<QDateEdit>(date);
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->date(), QDate(2023, 3, 15));
    picker->setDate(QDate(2024, 1, 1));
    EXPECT_DOUBLE_EQ(date->date, 45292);
    QTest::keyClick(modal, Qt::Key_Escape);
  }));
}

}  // namespace
}  // namespace lgoty::ui
