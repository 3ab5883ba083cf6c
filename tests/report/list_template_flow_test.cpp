// The list template's own flow without the band engine: the host points the default
// connection at the register's folder, loads spisok1.fr3 and sets its variables; the
// dialog's button runs the template's handler through the script, which builds the SELECT
// in ADOQuery1; the query opens at the first row access and returns the register's live
// rows in Russian surname order.
#include <gtest/gtest.h>

#include <algorithm>

#include "../sql/sql_fixture.h"
#include "core/locale.h"
#include "data/field.h"
#include "dbf/table_dataset.h"
#include "report/data_set_script.h"
#include "report/dialog_controls.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "script/interpreter.h"
#include "sql/ado_connection.h"
#include "sql/ado_query.h"

namespace lgoty::report {
namespace {

using script::TfsClassVariable;
using script::Variant;
using sql::testing::ScratchFolder;

const std::string kTemplate = std::string(LGOTY_SOURCE_DIR) + "/templates/spisok1.fr3";

struct Person {
  std::string famil, imja, otch;
  double sumpay = 0;
};

// The live rows of a register, read through the table engine.
std::vector<Person> LiveRows(const std::string& path) {
  dbf::TDbf table;
  table.SetTableName(path);
  table.Open();
  std::vector<Person> rows;
  for (table.First(); !table.Eof(); table.Next()) {
    rows.push_back({table.FieldByName("FAMIL").AsString(), table.FieldByName("IMJA").AsString(),
                    table.FieldByName("OTCH").AsString(), table.FieldByName("SUMPAY").AsFloat()});
  }
  return rows;
}

// A blank name sorts first, as SQL orders NULL.
bool NotAfter(const Person& a, const Person& b) {
  for (auto [x, y] : {std::pair{&a.famil, &b.famil}, {&a.imja, &b.imja}, {&a.otch, &b.otch}}) {
    if (x->empty() != y->empty()) return x->empty();
    const int c = core::AnsiCompareText(*x, *y);
    if (c != 0) return c < 0;
  }
  return true;
}

class ListTemplateFlow : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    sql::testing::MakeRegister(folder_.File("med2024.dbf"), 300, "med");
    // What the register program does before showing the report.
    connection_.SetLoginPrompt(false);
    connection_.SetConnectionString(sql::testing::JetConnectionString(folder_.Path()));
    components_.SetDefaultDatabase(&connection_);
    ASSERT_TRUE(report_.LoadFromFile(kTemplate));
    ASSERT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
    SetVariable("OFile", "'" + folder_.File("med2024.dbf") + "'");
    SetVariable("OFPath", "'" + folder_.Path() + "'");
    SetVariable("OFName", "'med2024'");
    SetVariable("usl", "'лекарства'");
    SetVariable("vid", "1");
    query_ = dynamic_cast<TfrxADOQuery*>(report_.FindObject("ADOQuery1"));
    check_box_ = dynamic_cast<TfrxCheckBoxControl*>(report_.FindObject("CheckBox1"));
    ASSERT_NE(query_, nullptr);
    ASSERT_NE(check_box_, nullptr);
  }

  void SetVariable(const std::string& name, const std::string& expression) {
    for (auto& v : report_.Variables()) {
      if (v->Name() == name) {
        v->value = Variant(expression);
        return;
      }
    }
    report_.AddVariable(name, Variant(expression));
  }

  // The variable's expression text; a quoted text stands for itself.
  Variant VariableValue(const std::string& name) {
    for (auto& v : report_.Variables()) {
      if (v->Name() != name) continue;
      std::string text = core::VarToStr(v->value);
      if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
        return Variant(text.substr(1, text.size() - 2));
      }
      return Variant(text);
    }
    return Variant::Null();
  }

  // Prepares the template's script with the report's objects by name and runs the
  // dialog's OK handler.
  void ClickOk() {
    RegisterDataSetScriptClasses();
    script::TfsScript script;
    script.AddRTTI();
    for (const char* cls : {"TfrxComponent", "TfrxReportComponent"}) {
      if (script.FindClass(cls) == nullptr) {
        script.AddClass(cls, std::string(cls) == "TfrxComponent" ? "TComponent" : "TfrxComponent");
      }
    }
    for (TfrxComponent* c : report_.AllObjects()) {
      if (!c->Name().empty()) script.AddObject(c->Name(), c);
    }
    script.AddMethod("function Get(Name: String): Variant",
                     [this](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                       return VariableValue(core::VarToStr(p[0]));
                     });
    script.SetLines(report_.script_text.Text());
    ASSERT_TRUE(script.Compile()) << script.ErrorPos() << " " << script.ErrorMessage();
    script.Execute();
    TfrxComponent* button = report_.FindObject("Button1");
    script.CallFunction("Button1OnClick", Variant::Array({Variant(static_cast<core::TObject*>(button))}));
  }

  ScratchFolder folder_;
  sql::TAdoConnection connection_;
  TfrxADOComponents components_;
  TfrxReport report_;
  TfrxADOQuery* query_ = nullptr;
  TfrxCheckBoxControl* check_box_ = nullptr;
};

TEST_P(ListTemplateFlow, TheOkHandlersQueryReturnsTheLiveRowsInSurnameOrder) {
  const bool positive_only = GetParam();
  check_box_->SetChecked(positive_only);
  for (TfrxComponent* c : report_.AllObjects()) c->BeforeStartReport();
  query_->SetReportRef(&report_);
  query_->StartRun();
  EXPECT_FALSE(query_->Query().Active());
  EXPECT_EQ(query_->SQL().Count(), 0);
  ClickOk();

  EXPECT_EQ(query_->Query().SQL().Text(),
            std::string("select * from 'med2024'") + (positive_only ? " WHERE SUMPAY>0" : "") +
                " ORDER BY FAMIL, IMJA, OTCH \r\n");
  std::vector<Person> expected = LiveRows(folder_.File("med2024.dbf"));
  if (positive_only) {
    std::erase_if(expected, [](const Person& p) { return !(p.sumpay > 0); });
  }
  std::vector<Person> got;
  query_->First();
  while (!query_->Eof()) {
    got.push_back({query_->DisplayText("FAMIL"), query_->DisplayText("IMJA"), query_->DisplayText("OTCH"),
                   query_->Value("SUMPAY").IsNull() ? 0.0 : query_->Value("SUMPAY").AsDouble()});
    query_->Next();
  }
  ASSERT_EQ(got.size(), expected.size());
  ASSERT_GT(got.size(), 10u);
  for (size_t i = 1; i < got.size(); ++i) {
    EXPECT_TRUE(NotAfter(got[i - 1], got[i])) << got[i - 1].famil << " before " << got[i].famil;
  }
  auto key = [](const Person& p) { return p.famil + "|" + p.imja + "|" + p.otch; };
  std::vector<std::string> got_keys, expected_keys;
  for (const Person& p : got) got_keys.push_back(key(p));
  for (const Person& p : expected) expected_keys.push_back(key(p));
  std::sort(got_keys.begin(), got_keys.end());
  std::sort(expected_keys.begin(), expected_keys.end());
  EXPECT_EQ(got_keys, expected_keys);
  EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  query_->FinishRun();
  EXPECT_FALSE(query_->Query().Active());
}

INSTANTIATE_TEST_SUITE_P(CheckBox, ListTemplateFlow, ::testing::Bool());

}  // namespace
}  // namespace lgoty::report
