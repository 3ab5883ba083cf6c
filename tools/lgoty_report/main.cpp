// lgoty-report: report template utilities.
//   lgoty-report check TEMPLATE     load the template and print its error list, one error
//                                   per line; exit status 1 when the list is not empty
//   lgoty-report resave IN OUT      load IN and save it as OUT (the errors go to stderr;
//                                   exit status 1 when there were any)
//   lgoty-report expand ...         expand memo texts against a report (expand.cpp)
//   lgoty-report run TEMPLATE ...   build the report and write PDF, PNG or .fp3 files
//                                   (tools/lgoty_report/run_command.h)
//   lgoty-report convert FILE.fp3 ...  draw a prepared report into PDF or PNG files
//                                   (tools/lgoty_report/convert_command.h)
// A file that cannot be read or written gives its message on stderr and exit status 2.
#include <cstdio>
#include <exception>
#include <string>

#include "report/report.h"
#include "tools/lgoty_report/convert_command.h"
#include "tools/lgoty_report/expand.h"
#include "tools/lgoty_report/run_command.h"

namespace {

using lgoty::report::TfrxReport;

int Usage() {
  std::fputs("usage: lgoty-report check TEMPLATE\n"
             "       lgoty-report resave IN OUT\n"
             "       lgoty-report expand [TEMPLATE] [OPTIONS] TEXT...\n"
             "       lgoty-report run TEMPLATE ... (--pdf FILE | --png FOLDER | --fp3 FILE)\n"
             "       lgoty-report convert FILE.fp3 (--pdf FILE | --png FOLDER [--dpi N])\n",
             stderr);
  return 2;
}

void PrintErrors(TfrxReport& report, std::FILE* out) {
  for (int i = 0; i < report.Errors().Count(); ++i) {
    std::fprintf(out, "%s\n", report.Errors()[i].c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "expand") return lgoty::tools::RunExpand(argc - 2, argv + 2);
  if (command == "run") return lgoty::tools::RunReportCommand(argc, argv);
  if (command == "convert") return lgoty::tools::RunConvertCommand(argc, argv);
  try {
    TfrxReport report;
    if (command == "check" && argc == 3) {
      report.LoadFromFile(argv[2], true);
      PrintErrors(report, stdout);
      return report.Errors().Count() == 0 ? 0 : 1;
    }
    if (command == "resave" && argc == 4) {
      report.LoadFromFile(argv[2], true);
      PrintErrors(report, stderr);
      report.SaveToFile(argv[3]);
      return report.Errors().Count() == 0 ? 0 : 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lgoty-report: %s\n", e.what());
    return 2;
  }
  return Usage();
}
