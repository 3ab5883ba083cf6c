// lgoty-report expand [TEMPLATE] [--connection FOLDER] [--var NAME=VALUE]... [--call PROC]
//                     [--first-row] TEXT...
//
// Loads the template (or starts from an empty report when the first argument is not a
// file), prepares its script, sets each report variable to the expression text VALUE (a
// quoted string for texts: --var "usl='Лекарства'", a bare number for numbers), points the
// template's ADO data sets at a connection over the register folder FOLDER (the one the
// register program makes), runs the script procedure PROC (such as the dialog's OK
// handler that builds a query), starts the report's data sets on their first row when
// asked, and prints the expansion of each TEXT as a memo's text would expand, one
// per line (a text whose expression fails prints an empty line). The report's error list
// goes to stderr; the exit status is 1 when it is not empty, 2 for bad arguments, a
// template that cannot be read or a folder the connection cannot open.
#include "tools/lgoty_report/expand.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "report/expressions.h"
#include "report/memo_fill.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/views.h"
#include "tools/lgoty_report/expand_data.h"

namespace lgoty::tools {

namespace {

using report::TfrxReport;

int Usage() {
  std::fputs("usage: lgoty-report expand [TEMPLATE] [--connection FOLDER] [--var NAME=VALUE]...\n"
             "                           [--call PROCEDURE] [--first-row] TEXT...\n",
             stderr);
  return 2;
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

int RunExpand(int argc, char** argv) {
  std::string template_path, connection, call;
  std::vector<std::pair<std::string, std::string>> vars;
  std::vector<std::string> texts;
  bool first_row = false;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--connection" && i + 1 < argc) {
      connection = argv[++i];
    } else if (a == "--var" && i + 1 < argc) {
      std::string v = argv[++i];
      size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) return Usage();
      vars.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    } else if (a == "--call" && i + 1 < argc) {
      call = argv[++i];
    } else if (a == "--first-row") {
      first_row = true;
    } else if (a == "--") {
      for (++i; i < argc; ++i) texts.emplace_back(argv[i]);
    } else if (a.rfind("--", 0) == 0) {
      return Usage();
    } else if (template_path.empty() && texts.empty() && IsFile(a)) {
      template_path = a;
    } else {
      texts.push_back(a);
    }
  }

  // The connection comes first: the template's queries find the default one as they load.
  std::unique_ptr<FolderConnection> folder;
  if (!connection.empty()) {
    try {
      folder = std::make_unique<FolderConnection>(connection);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "lgoty-report: %s\n", e.what());
      return 2;
    }
  }
  TfrxReport report;
  try {
    if (!template_path.empty()) report.LoadFromFile(template_path, true);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lgoty-report: %s\n", e.what());
    return 2;
  }
  report::TfrxExpressions& expressions = report.Expressions();
  report::TfrxReportScript& script = expressions.Script();
  // As the register program does before it shows the report: variables first, then the
  // run's start (objects, script, main block).
  for (const auto& [name, value] : vars) expressions.Set(name, core::Variant(value));
  try {
    for (report::TfrxComponent* c : report.AllObjects()) c->BeforeStartReport();
    if (!script.Prepare()) {
      report.Errors().Add(script.ErrorPos() + ": " + script.ErrorMessage());
    } else {
      script.RunMainBlock();
    }
    if (!call.empty()) {
      std::vector<core::Variant> args{core::Variant(static_cast<core::TObject*>(nullptr))};
      if (!script.CallProcedure(call, args)) report.Errors().Add("Procedure not found: " + call);
    }
  } catch (const std::exception& e) {
    report.Errors().Add(e.what());
  }
  if (first_row) OpenDataSetsAtFirstRow(report);

  report::TfrxMemoView memo;
  for (const std::string& text : texts) {
    memo.SetText(text);
    report::MemoBeforePrint(memo);
    std::string out;
    try {
      report::MemoFillData(expressions, memo);
      out = memo.Text();
    } catch (const std::exception&) {
      // The error is in the report's list.
    }
    report::MemoAfterPrint(memo);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputc('\n', stdout);
  }
  if (first_row) FinishDataSets(report);
  for (int i = 0; i < report.Errors().Count(); ++i) std::fprintf(stderr, "%s\n", report.Errors()[i].c_str());
  return report.Errors().Count() == 0 ? 0 : 1;
}

}  // namespace lgoty::tools
