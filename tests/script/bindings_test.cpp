// Host bindings: registrations, member lookup, properties (published ones through RTTI),
// events, components, and the list report's own handler against stand-in objects.
#include <gtest/gtest.h>

#include "core/rtti.h"
#include "core/string_list.h"
#include "script/interpreter.h"
#include "script_runner.h"

namespace lgoty::script {
namespace {

using testing::EnglishSettings;
using testing::RunScript;

// Stand-ins for the dialog check box and the query of the list report template.
class TTestCheckBox : public core::TObject {
 public:
  const char* ClassName() const override { return "TTestCheckBox"; }
  bool checked_ = true;
  int32_t tag_ = 0;
  std::string on_click_;
};

class TTestQuery : public core::TObject {
 public:
  const char* ClassName() const override { return "TTestQuery"; }
  core::TStringList sql_;
};

void RegisterStandIns() {
  static bool done = [] {
    auto& registry = core::ClassRegistry::Instance();
    core::ClassBuilder<TTestCheckBox> box(registry.Register("TTestCheckBox", nullptr, [] {
      return std::make_unique<TTestCheckBox>();
    }));
    box.Field("Checked", &TTestCheckBox::checked_);
    box.Field("Tag", &TTestCheckBox::tag_);
    box.Event("OnClick", &TTestCheckBox::on_click_);
    core::ClassBuilder<TTestQuery> query(registry.Register("TTestQuery", nullptr, nullptr));
    query.Object("SQL", core::ObjectRole::StringList, "TStrings",
                 [](const TTestQuery& q) -> core::TObject* { return const_cast<core::TStringList*>(&q.sql_); });
    return true;
  }();
  (void)done;
}

// The handler script of the beneficiary list template, line by line as stored.
constexpr const char* kListReportScript =
    "\n"
    "procedure Button1OnClick(Sender: TfrxComponent);\n"
    "var s:string;\n"
    "begin\n"
    "  s:='select * from '''+<OFName>+'''';\n"
    "  if CheckBox1.Checked=true then s:=s+' WHERE SUMPAY>0';\n"
    "  s:=s+' ORDER BY FAMIL, IMJA, OTCH ';\n"
    " ADOQuery1.SQL.Add(s);\n"
    "end;\n"
    "\n"
    "begin\n"
    "\n"
    "end.";

class ListReport : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterStandIns();
    script.AddRTTI();
    script.AddClass("TfrxComponent", "TComponent");
    script.AddClass("TTestCheckBox", "TfrxComponent");
    script.AddClass("TTestQuery", "TfrxComponent");
    script.AddObject("CheckBox1", &check_box);
    script.AddObject("ADOQuery1", &query);
    script.AddMethod("function Get(Name: String): Variant",
                     [this](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                       requested.push_back(p[0].AsString());
                       return Variant("spisok1");
                     });
    script.SetLines(kListReportScript);
  }
  TfsScript script;
  TTestCheckBox check_box;
  TTestQuery query;
  std::vector<std::string> requested;
};

TEST_F(ListReport, ButtonHandlerAddsTheQueryForAmountsAboveZero) {
  ASSERT_TRUE(script.Compile()) << script.ErrorPos() << " " << script.ErrorMessage();
  script.Execute();
  EXPECT_EQ(query.sql_.Count(), 0);
  script.CallFunction("Button1OnClick", Variant::Array({Variant(static_cast<core::TObject*>(&check_box))}));
  ASSERT_EQ(query.sql_.Count(), 1);
  EXPECT_EQ(query.sql_[0], "select * from 'spisok1' WHERE SUMPAY>0 ORDER BY FAMIL, IMJA, OTCH ");
  EXPECT_EQ(requested, std::vector<std::string>{"OFName"});
}

TEST_F(ListReport, UncheckedBoxLeavesOutTheCondition) {
  check_box.checked_ = false;
  ASSERT_TRUE(script.Compile());
  script.Execute();
  script.CallFunction("Button1OnClick", Variant::Array({Variant()}));
  EXPECT_EQ(query.sql_.Text(), "select * from 'spisok1' ORDER BY FAMIL, IMJA, OTCH \r\n");
}

TEST_F(ListReport, EventsTheScriptDoesNotDefinePassWithoutEffect) {
  ASSERT_TRUE(script.Compile());
  EXPECT_TRUE(script.CallFunction("DialogPage1OnActivate").IsNull());
  EXPECT_TRUE(script.CallFunction("Page1OnBeforePrint", Variant::Array({})).IsNull());
  EXPECT_EQ(query.sql_.Count(), 0);
}

TEST_F(ListReport, PublishedPropertiesReadAndWriteThroughRtti) {
  EnglishSettings english;
  auto r = RunScript(script, R"(
procedure Clicked(Sender: TfrxComponent); begin end;
begin
  CheckBox1.Tag := 7;
  CheckBox1.Checked := False;
  ShowMessage(CheckBox1.Tag);
  ShowMessage(CheckBox1.Checked);
  CheckBox1.OnClick := Clicked;
  ShowMessage(ADOQuery1.SQL.Count);
end.)");
  ASSERT_TRUE(r.compiled) << r.error_pos << " " << r.error;
  EXPECT_EQ(r.Output(), "7\nFalse\n0\n");
  EXPECT_EQ(check_box.tag_, 7);
  EXPECT_FALSE(check_box.checked_);
  EXPECT_EQ(check_box.on_click_, "Clicked");
}

TEST_F(ListReport, AssigningANonProcedureToAnEventFails) {
  auto r = RunScript(script, "var x: Integer; begin CheckBox1.OnClick := x; end.");
  EXPECT_EQ(r.error, "Event handler must be a procedure");
  r = RunScript(script, "begin CheckBox1.OnClick := 'NoSuchProc'; end.");
  EXPECT_EQ(r.error, "Event handler must be a procedure");
  // nil disconnects a published event as 0 does.
  r = RunScript(script, "procedure Clicked(Sender: TObject); begin end; begin CheckBox1.OnClick := Clicked; "
                        "CheckBox1.OnClick := nil; end.");
  EXPECT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(check_box.on_click_, "");
}

TEST_F(ListReport, VariantValuesReachMembersAtRunTime) {
  EnglishSettings english;
  auto r = RunScript(script, "var v: Variant; begin v := CheckBox1; ShowMessage(v.Checked); v.Tag := 3; "
                             "ShowMessage(v.Tag); v.Missing; end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "True\n3\nerror: Undeclared identifier: 'Missing'\n");
}

// A host class with a handler-based event, an ancestor and a default property.
class THostButton : public core::TObject {
 public:
  const char* ClassName() const override { return "THostButton"; }
  TfsEventHandler on_click;
  std::vector<std::string> cells{"a", "b", "c"};
  void Click() {
    if (on_click) {
      std::vector<Variant> args{Variant(static_cast<core::TObject*>(this))};
      on_click(args);
    }
  }
};

class HostClasses : public ::testing::Test {
 protected:
  void SetUp() override {
    script.AddRTTI();
    TfsClassVariable* base = script.AddClass("THostBase", "TObject");
    base->AddMethod("function Describe(Prefix: String = '>'): String",
                    [](core::TObject* o, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                      return Variant(p[0].AsString() + (o != nullptr ? o->ClassName() : "nil"));
                    });
    TfsClassVariable* button = script.AddClass("THostButton", "THostBase");
    button->AddEvent("OnClick", [](core::TObject* o, TfsEventHandler h) {
      static_cast<THostButton*>(o)->on_click = std::move(h);
    });
    button->AddDefaultProperty("Cells", "Integer", "String",
                               [](core::TObject* o, TfsClassVariable*, const std::string& name, std::vector<Variant>& p) {
                                 auto* b = static_cast<THostButton*>(o);
                                 size_t i = static_cast<size_t>(p[0].AsInteger());
                                 if (i >= b->cells.size()) throw core::EListError("bad cell");
                                 if (name == "CELLS.SET") {
                                   b->cells[i] = p[1].AsString();
                                   return Variant();
                                 }
                                 return Variant(b->cells[i]);
                               });
    script.AddObject("Button1", &button1);
  }
  TfsScript script;
  THostButton button1;
};

TEST_F(HostClasses, AncestorMembersAndDefaultParameters) {
  auto r = RunScript(script, "begin ShowMessage(Button1.Describe); ShowMessage(Button1.Describe('#')); end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), ">THostButton\n#THostButton\n");
}

TEST_F(HostClasses, EventsConnectToProceduresAndDisconnectWithZero) {
  auto r = RunScript(script, R"(
var clicks: Integer;
procedure Clicked(Sender: TObject);
begin
  clicks := clicks + 1;
  ShowMessage('clicked ' + Sender.ClassName);
end;
begin
  clicks := 0;
  Button1.OnClick := Clicked;
end.)");
  ASSERT_TRUE(r.compiled) << r.error;
  std::vector<std::string> shown;
  script.on_show_message = [&shown](const std::string& m) { shown.push_back(m); };
  button1.Click();
  button1.Click();
  EXPECT_EQ(script.Find("clicks")->GetValue().AsInteger(), 2);
  EXPECT_EQ(shown, (std::vector<std::string>{"clicked THostButton", "clicked THostButton"}));
  for (const char* none : {"0", "nil"}) {
    auto off = RunScript(script, std::string("procedure P; begin end; begin Button1.OnClick := P; Button1.OnClick := ") +
                                     none + "; end.");
    ASSERT_TRUE(off.compiled) << none << off.error;
    EXPECT_TRUE(off.error.empty()) << none << off.error;
    EXPECT_FALSE(button1.on_click) << none;
  }
}

TEST_F(HostClasses, EventHandlerOutlivingItsScriptDoesNothing) {
  {
    TfsScript other;
    other.AddRTTI();
    other.AddClass("THostButton", "TObject")->AddEvent("OnClick", [](core::TObject* o, TfsEventHandler h) {
      static_cast<THostButton*>(o)->on_click = std::move(h);
    });
    other.AddObject("B", &button1);
    auto r = RunScript(other, "procedure P; begin end; begin B.OnClick := P; end.");
    ASSERT_TRUE(r.compiled) << r.error;
  }
  button1.Click();  // the script is gone: no call, no crash
  SUCCEED();
}

TEST_F(HostClasses, DefaultPropertyReadsAndWrites) {
  auto r = RunScript(script, "begin Button1[1] := 'X'; ShowMessage(Button1[0] + Button1[1]); end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "aX\n");
}

TEST(Registration, EnumerationsAndSetsGiveTheirConstants) {
  TfsScript s;
  s.AddRTTI();
  s.AddEnum("TAlign", "a, b, c");
  s.AddEnumSet("TStyles", "fsBold, fsItalic, fsUnderline");
  auto r = RunScript(s, "var x: TAlign; begin x := c; ShowMessage(a); ShowMessage(x); "
                        "ShowMessage(fsBold); ShowMessage(fsItalic); ShowMessage(fsUnderline); end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "0\n2\n1\n2\n4\n");
}

TEST(Registration, ConstantsVariablesAndTheValueRequestHook) {
  TfsScript s;
  s.AddRTTI();
  s.on_get_var_value = [](const std::string& name, const TfsType&, const Variant&) {
    return name == "Hooked" ? Variant("from hook") : Variant::Null();
  };
  s.AddConst("Answer", "Integer", Variant(42));
  s.AddVariable("Hooked", "String", Variant("stored"));
  s.AddVariable("Plain", "String", Variant("plain"));
  auto r = RunScript(s, "begin ShowMessage(Answer); ShowMessage(Hooked); ShowMessage(Plain); end.");
  EXPECT_EQ(r.Output(), "42\nfrom hook\nplain\n");
  EXPECT_EQ(RunScript(s, "begin Answer := 1; end.").error, "Left side cannot be assigned to");
  EXPECT_EQ(s.AddClass("TStringList", "TObject"), nullptr);  // an existing class is not added again
}

TEST(Registration, MacroFunctionsReceiveTheSourceText) {
  TfsScript s;
  s.AddRTTI();
  s.AddMethod("macrofunction Quote(e: Variant): String",
              [](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                return Variant("[" + p[0].AsString() + "]");
              });
  auto r = RunScript(s, "var a: Integer; begin ShowMessage(Quote(a + 2 * (1))); end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "[a + 2 * (1)]\n");
}

// A macro call reuses its list of texts: a nested call of the same step and a handler that
// changes its arguments must still see the source texts on every call.
TEST(Registration, MacroFunctionsGetTheirTextsOnEveryCall) {
  TfsScript s;
  s.AddRTTI();
  int calls = 0;
  std::vector<std::string> seen;
  s.AddMethod("macrofunction Tag(e: Variant): String",
              [&](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                seen.push_back(p[0].AsString());
                if (calls++ == 0) s.CallFunction("Again");  // the same call step, nested
                std::string text = p[0].AsString();
                p[0] = Variant(99);
                return Variant("[" + text + "]");
              });
  auto r = RunScript(s,
                     "var i: Integer; function Again: String; begin Result := Tag(i + 1); end; "
                     "begin for i := 1 to 2 do ShowMessage(Again); end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "[i + 1]\n[i + 1]\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"i + 1", "i + 1", "i + 1"}));
}

// A plain host call keeps its list's room between calls: each call must still get fresh
// arguments with the defaults appended, write var arguments back, and a call nested in the
// handler through the same call site (which builds a list of its own) must not disturb the
// outer one. A handler that fails leaves the next call a clean list.
TEST(Registration, PlainHostCallsGetFreshArgumentsOnEveryCall) {
  TfsScript s;
  s.AddRTTI();
  int calls = 0;
  std::vector<std::string> seen;
  s.AddMethod("function Bump(var a: Integer; b: String = 'd'): String",
              [&](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                const int call = calls++;
                seen.push_back(std::to_string(p.size()) + ":" + p[0].AsString() + ":" + p[1].AsString());
                if (p[0].AsInteger() == 7) throw EScriptError("seven");
                std::string nested;
                if (call == 0) nested = s.CallFunction("Again").AsString();  // same call site, nested
                std::string text = p[1].AsString();
                p[0] = Variant(p[0].AsInteger() * 10);
                p[1] = Variant("changed");
                p.push_back(Variant("extra"));  // room the next call must not see
                return Variant(text + nested);
              });
  auto r = RunScript(s,
                     "var i, k: Integer; function Again: String; begin k := i + 2; Result := Bump(k, 'x' + IntToStr(i)); "
                     "Result := Result + '/' + IntToStr(k); end; "
                     "begin for i := 1 to 3 do ShowMessage(Again); "
                     "k := 5; ShowMessage(Bump(k)); ShowMessage(IntToStr(k)); "
                     "k := 7; try Bump(k) except ShowMessage('failed') end; "
                     "k := 6; ShowMessage(Bump(k)); ShowMessage(IntToStr(k)); end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "x1x1/30/30\nx2/40\nx3/50\nd\n50\nfailed\nd\n60\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"2:3:x1", "2:3:x1", "2:4:x2", "2:5:x3", "2:5:d", "2:7:d", "2:6:d"}));
}

TEST(Registration, DeclarationsParseVarConstDefaultsAndResultType) {
  TfsScript s;
  s.AddConst("kDefault", "Integer", Variant(9));
  auto* m = s.AddMethod("function F(var a, b: Integer; const c: String; d: Integer = -5; e: String = 'x''y'; "
                        "f: Integer = kDefault; g: Variant = Unknown): TDateTime",
                        nullptr);
  ASSERT_EQ(m->params.size(), 7u);
  EXPECT_TRUE(m->params[0]->is_var);
  EXPECT_TRUE(m->params[1]->is_var);
  EXPECT_FALSE(m->params[2]->is_var);
  EXPECT_EQ(m->RequiredParams(), 3);
  EXPECT_EQ(m->params[3]->default_value.AsInteger(), -5);
  EXPECT_EQ(m->params[4]->default_value.AsString(), "x'y");
  EXPECT_EQ(m->params[5]->default_value.AsInteger(), 9);
  EXPECT_TRUE(m->params[6]->default_value.IsNull());
  EXPECT_EQ(m->result_type_name, "TDateTime");
  EXPECT_THROW(s.AddMethod("nonsense Foo", nullptr), core::Exception);
  // A method without a handler returns 0.
  auto r = RunScript(s, "var x: Variant; begin x := 1; end.");
  ASSERT_TRUE(r.compiled);
  auto* g = s.AddMethod("function NoHandler: Integer", nullptr);
  (void)g;
  s.AddRTTI();
  auto r2 = RunScript(s, "begin ShowMessage(NoHandler); end.");
  EXPECT_EQ(r2.Output(), "0\n");
}

TEST(Registration, OwnedComponentsAreMembersOfTheContainer) {
  TfsScript s;
  s.AddRTTI();
  core::TObject form;
  core::TStringList memo;
  s.AddComponent("Form1", &form, {{"Lines1", &memo}});
  auto r = RunScript(s, "begin Form1.Lines1.Add('x'); ShowMessage(Form1.Lines1.Count); end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "1\n");
}

TEST(Registration, ClearKeepsHostItemsAndRemoveItemsDropsARegistrantsOwn) {
  TfsScript s;
  s.AddRTTI();
  int owner = 0;
  s.registrant = &owner;
  s.AddConst("Mine", "Integer", Variant(1));
  s.registrant = nullptr;
  ASSERT_TRUE(RunScript(s, "var x: Integer; begin x := Mine; end.").compiled);
  s.Clear();
  EXPECT_EQ(s.Find("x"), nullptr);
  EXPECT_NE(s.Find("Mine"), nullptr);
  s.RemoveItems(&owner);
  EXPECT_EQ(s.Find("Mine"), nullptr);
  EXPECT_NE(s.Find("IntToStr"), nullptr);
}

}  // namespace
}  // namespace lgoty::script
