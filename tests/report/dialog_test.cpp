// Dialog pages without a screen: the events a showing fires and their order, modal results
// and what a cancel does to the run, and the batch host that fills in values and presses a
// button.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/variant.h"
#include "report/batch_dialog_host.h"
#include "report/data_sets.h"
#include "report/query_data_sets.h"
#include "report/dialog_controls.h"
#include "report/dialog_events.h"
#include "report/dialog_host.h"
#include "report/dialog_session.h"
#include "report/pages.h"
#include "report/report.h"

namespace lgoty::report {
namespace {

using Args = std::vector<core::Variant>;

// Stands in for the report's script: procedures by name, and a record of every call as
// "Procedure(SenderName)".
class FakeScript {
 public:
  explicit FakeScript(TfrxReport& report) {
    report.SetScriptProcedureCall([this](const std::string& name, Args& args) {
      auto it = procedures_.find(name);
      if (it == procedures_.end()) return false;
      std::string sender;
      if (!args.empty() && args[0].IsObject()) {
        if (auto* c = dynamic_cast<TfrxComponent*>(args[0].AsObject())) sender = c->Name();
      }
      calls.push_back(name + "(" + sender + ")");
      it->second(args);
      return true;
    });
  }
  void Define(const std::string& name, std::function<void(Args&)> body = [](Args&) {}) {
    procedures_[name] = std::move(body);
  }
  std::vector<std::string> calls;

 private:
  std::map<std::string, std::function<void(Args&)>> procedures_;
};

template <class T>
T* AddNamed(TfrxComponent& parent, const char* name) {
  T* object = parent.Add(std::make_unique<T>());
  object->SetName(name);
  return object;
}

// A report with one dialog page: a check box and an OK button whose handler is named.
struct DialogReport {
  DialogReport() {
    RegisterReportClasses();
    page = AddNamed<TfrxDialogPage>(report, "DialogPage1");
    check = AddNamed<TfrxCheckBoxControl>(*page, "CheckBox1");
    ok = AddNamed<TfrxButtonControl>(*page, "Button1");
    ok->modal_result = mrOk;
    ok->on_click = "Button1OnClick";
  }
  TfrxReport report;
  TfrxDialogPage* page;
  TfrxCheckBoxControl* check;
  TfrxButtonControl* ok;
};

TEST(DialogSession, ShowingFiresPageEventsInOrderWithThePageAsSender) {
  DialogReport d;
  FakeScript script(d.report);
  for (const char* name : {"Shown", "Activated", "Clicked", "Asked", "Hidden", "Deactivated"}) {
    script.Define(name);
  }
  d.page->on_show = "Shown";
  d.page->on_activate = "Activated";
  d.page->on_close_query = "Asked";
  d.page->on_hide = "Hidden";
  d.page->on_deactivate = "Deactivated";
  d.ok->on_click = "Clicked";
  d.page->SetModalResult(mrCancel);  // left over from an earlier showing

  DialogSession session(*d.page);
  session.Begin();
  EXPECT_EQ(d.page->ModalResult(), mrNone);
  EXPECT_FALSE(session.ShouldClose());
  session.Click(*d.ok);
  EXPECT_TRUE(session.ShouldClose());
  EXPECT_EQ(session.End(), mrOk);
  EXPECT_EQ(script.calls,
            (std::vector<std::string>{"Shown(DialogPage1)", "Activated(DialogPage1)",
                                      "Clicked(Button1)", "Asked(DialogPage1)",
                                      "Hidden(DialogPage1)", "Deactivated(DialogPage1)"}));
}

TEST(DialogSession, ButtonHandlerRunsBeforeTheModalResultIsSet) {
  DialogReport d;
  FakeScript script(d.report);
  int result_seen_by_handler = -1;
  script.Define("Button1OnClick", [&](Args&) { result_seen_by_handler = d.page->ModalResult(); });
  DialogSession session(*d.page);
  session.Begin();
  session.Click(*d.ok);
  EXPECT_EQ(result_seen_by_handler, mrNone);
  EXPECT_EQ(d.page->ModalResult(), mrOk);
}

TEST(DialogSession, ClickOnCheckBoxOrButtonWithoutModalResultKeepsWindowOpen) {
  DialogReport d;
  FakeScript script(d.report);
  script.Define("Button1OnClick");
  d.ok->modal_result = mrNone;
  d.check->modal_result = mrOk;  // not a button: its ModalResult means nothing
  DialogSession session(*d.page);
  session.Begin();
  session.Click(*d.check);
  session.Click(*d.ok);
  EXPECT_FALSE(session.ShouldClose());
  EXPECT_EQ(script.calls, std::vector<std::string>{"Button1OnClick(Button1)"});
}

TEST(DialogSession, CloseQueryThatRefusesKeepsWindowOpenAndClearsTheResult) {
  DialogReport d;
  FakeScript script(d.report);
  bool allow = false;
  script.Define("Query", [&](Args& args) { args[1] = core::Variant(allow); });
  d.page->on_close_query = "Query";
  DialogSession session(*d.page);
  session.Begin();
  session.CloseBox();
  EXPECT_FALSE(session.ShouldClose());
  EXPECT_EQ(d.page->ModalResult(), mrNone);
  allow = true;
  session.CloseBox();
  EXPECT_TRUE(session.ShouldClose());
  EXPECT_EQ(session.End(), mrCancel);
}

TEST(DialogSession, ScriptSettingModalResultEndsTheDialog) {
  DialogReport d;
  FakeScript script(d.report);
  script.Define("Changed", [&](Args&) { d.page->SetModalResult(mrYes); });
  auto* edit = AddNamed<TfrxEditControl>(*d.page, "Edit1");
  edit->on_change = "Changed";
  DialogSession session(*d.page);
  session.Begin();
  session.Change(*edit);
  EXPECT_TRUE(session.ShouldClose());
  EXPECT_EQ(session.End(), mrYes);
}

TEST(DialogSession, KeysReachThePageBeforeTheControl) {
  DialogReport d;
  FakeScript script(d.report);
  std::vector<int> keys_seen;
  script.Define("PageKey", [&](Args& args) {
    keys_seen.push_back(args[1].AsInteger());
    EXPECT_EQ(args[2].AsInteger(), kShiftCtrl);
    if (args[1].AsInteger() == 27) args[1] = core::Variant(int32_t{0});
    if (args[1].AsInteger() == 65) args[1] = core::Variant(int32_t{66});
  });
  script.Define("ControlKey", [&](Args& args) { keys_seen.push_back(-args[1].AsInteger()); });
  d.page->on_key_down = "PageKey";
  d.ok->on_key_down = "ControlKey";
  DialogSession session(*d.page);
  EXPECT_EQ(session.KeyDown(d.ok, 65, kShiftCtrl), 66);
  EXPECT_EQ(session.KeyDown(d.ok, 27, kShiftCtrl), 0);
  EXPECT_EQ(session.KeyDown(nullptr, 13, kShiftCtrl), 13);
  EXPECT_EQ(keys_seen, (std::vector<int>{65, -66, 27, 13}));
}

TEST(DialogSession, KeyPressTakesTheFirstCharacterAndAnEmptyStringSwallows) {
  DialogReport d;
  FakeScript script(d.report);
  script.Define("Press", [&](Args& args) {
    std::string key = args[1].AsString();
    args[1] = core::Variant(key == "x" ? std::string() : std::string("Жук"));
  });
  d.page->on_key_press = "Press";
  DialogSession session(*d.page);
  EXPECT_EQ(session.KeyPress(d.check, "x"), "");
  EXPECT_EQ(session.KeyPress(d.check, "a"), "Ж");
}

TEST(DialogSession, MouseEventsPassButtonShiftAndPosition) {
  DialogReport d;
  FakeScript script(d.report);
  Args down, move;
  script.Define("Down", [&](Args& args) { down = args; });
  script.Define("Move", [&](Args& args) { move = args; });
  d.check->on_mouse_down = "Down";
  d.check->on_mouse_move = "Move";
  DialogSession session(*d.page);
  session.MouseDown(*d.check, kMouseRight, kShiftRight | kShiftShift, 5, 7);
  session.MouseMove(*d.check, kShiftLeft, 9, 11);
  ASSERT_EQ(down.size(), 5u);
  EXPECT_EQ(down[1].AsInteger(), kMouseRight);
  EXPECT_EQ(down[2].AsInteger(), 17);
  EXPECT_EQ(down[4].AsInteger(), 7);
  ASSERT_EQ(move.size(), 4u);
  EXPECT_EQ(move[1].AsInteger(), kShiftLeft);
  EXPECT_EQ(move[3].AsInteger(), 11);
}

TEST(DialogEvents, MissingProcedureBlankNameOrNoReportDoNothing) {
  DialogReport d;
  FakeScript script(d.report);
  d.page->on_close_query = "NoSuchProcedure";
  EXPECT_TRUE(FireCloseQueryEvent(*d.page, d.page->on_close_query, d.page));
  EXPECT_EQ(FireKeyEvent(*d.page, "   ", d.page, 13, 0), 13);
  TfrxButtonControl loose;  // not owned by a report
  loose.on_click = "Button1OnClick";
  script.Define("Button1OnClick");
  FireNotifyEvent(loose, loose.on_click, &loose);
  EXPECT_TRUE(script.calls.empty());
}

TEST(DialogEvents, HandlerNameIsTrimmedBeforeTheCall) {
  DialogReport d;
  FakeScript script(d.report);
  script.Define("Button1OnClick");
  FireNotifyEvent(*d.ok, "  Button1OnClick ", d.ok);
  EXPECT_EQ(script.calls, std::vector<std::string>{"Button1OnClick(Button1)"});
}

TEST(DialogSession, ActivationRunsOnActivateThenTheControlHooks) {
  DialogReport d;
  FakeScript script(d.report);
  std::vector<std::string> order;
  script.Define("Activated", [&](Args&) { order.push_back("OnActivate"); });
  d.page->on_activate = "Activated";
  auto* lookup = AddNamed<TfrxDBLookupComboBox>(*d.page, "DBLookupComboBox1");
  lookup->activation_hook = [&] { order.push_back("lookup"); };
  DialogSession session(*d.page);
  session.Begin();
  EXPECT_EQ(order, (std::vector<std::string>{"OnActivate", "lookup"}));
}

// A host that records which pages it was asked to show and answers with given results.
class ScriptedHost : public DialogHost {
 public:
  int ShowModal(TfrxDialogPage& page) override {
    shown.push_back(page.Name());
    int result = results.empty() ? mrOk : results.front();
    if (!results.empty()) results.erase(results.begin());
    return result;
  }
  std::vector<std::string> shown;
  std::vector<int> results;
};

TEST(RunDialogs, ShowsVisiblePagesWithControlsInOrderAndCancelStopsTheRun) {
  DialogReport d;
  auto* empty = AddNamed<TfrxDialogPage>(d.report, "DialogPage2");
  AddNamed<TfrxADOQuery>(*empty, "ADOQuery1");  // a data component is not a control
  auto* hidden = AddNamed<TfrxDialogPage>(d.report, "DialogPage3");
  AddNamed<TfrxButtonControl>(*hidden, "Button3");
  hidden->SetVisible(false);
  auto* second = AddNamed<TfrxDialogPage>(d.report, "DialogPage4");
  AddNamed<TfrxButtonControl>(*second, "Button4");
  ScriptedHost host;
  d.report.SetDialogHost(&host);

  host.results = {mrOk, mrNo};
  EXPECT_TRUE(RunDialogs(d.report));
  EXPECT_EQ(host.shown, (std::vector<std::string>{"DialogPage1", "DialogPage4"}));
  EXPECT_EQ(second->ModalResult(), mrNo);

  host.shown.clear();
  host.results = {mrCancel};
  EXPECT_FALSE(RunDialogs(d.report));
  EXPECT_EQ(host.shown, std::vector<std::string>{"DialogPage1"});
  EXPECT_EQ(d.report.Errors().Count(), 0);
}

TEST(RunDialogs, ReportWhoseOnlyDialogHasNoControlsNeedsNoHost) {
  TfrxReport report;
  AddNamed<TfrxDialogPage>(report, "DialogPage1");
  EXPECT_TRUE(RunDialogs(report));
}

TEST(RunDialogs, PageWithControlsAndNoHostIsAnError) {
  DialogReport d;
  EXPECT_THROW(RunDialogs(d.report), EDialogError);
}

TEST(RunDialogs, OnRunDialogsDecidesAndNoPageIsShown) {
  DialogReport d;
  FakeScript script(d.report);
  ScriptedHost host;
  d.report.SetDialogHost(&host);
  d.report.on_run_dialogs = "RunThem";
  bool go_on = false;
  script.Define("RunThem", [&](Args& args) {
    EXPECT_TRUE(args[0].AsBoolean());
    args[0] = core::Variant(go_on);
  });
  EXPECT_FALSE(RunDialogs(d.report));
  go_on = true;
  EXPECT_TRUE(RunDialogs(d.report));
  EXPECT_TRUE(host.shown.empty());

  // A name that is not a procedure of the script falls back to showing the pages.
  d.report.on_run_dialogs = "NotThere";
  EXPECT_TRUE(RunDialogs(d.report));
  EXPECT_EQ(host.shown, std::vector<std::string>{"DialogPage1"});
}

TEST(RunDialogs, OnRunDialogsMayShowPagesItself) {
  DialogReport d;
  FakeScript script(d.report);
  ScriptedHost host;
  host.results = {mrCancel};
  d.report.SetDialogHost(&host);
  d.report.on_run_dialogs = "RunThem";
  script.Define("RunThem", [&](Args& args) {
    args[0] = core::Variant(d.page->ShowModal() == mrOk);
  });
  EXPECT_FALSE(RunDialogs(d.report));
  EXPECT_EQ(d.page->ModalResult(), mrCancel);
}

TEST(DialogControl, SetFocusMakesTheControlActiveUntilItIsFreed) {
  DialogReport d;
  d.check->SetFocus();
  EXPECT_EQ(d.page->ActiveControl(), d.check);
  d.page->Release(d.check);  // freed with the returned pointer
  EXPECT_EQ(d.page->ActiveControl(), nullptr);
}

}  // namespace
}  // namespace lgoty::report
