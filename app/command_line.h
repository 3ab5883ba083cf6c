// The program's arguments:
//   lgoty [/f] [REGISTER.dbf]
//   lgoty --list-report REGISTER.dbf --pdf OUT.pdf [--all]
//   lgoty --help
//
// The start argument is the first argument after lower-case folding; only "/f" (so also
// "/F") switches on the full edit mode (adding rows, editing the identity fields). A
// register path, when given, is the first argument after an optional "/f" that is no option;
// that register opens at start. Anything else is refused with the usage, so that a mistyped
// option ("-f") is said instead of silently opening nothing.
//
// --list-report runs the list report without windows: the register opens as the Open command
// opens it, the report's dialog is answered ("Больше 0" checked, unchecked with --all) and
// the pages go to the PDF file instead of the preview.
#pragma once

#include <string>
#include <vector>

namespace lgoty::app {

inline constexpr const char* kUsage =
    "usage: lgoty [/f] [REGISTER.dbf]\n"
    "       lgoty --list-report REGISTER.dbf --pdf OUT.pdf [--all]\n";

struct TCommandLine {
  std::string start_argument;  // folded; empty without arguments
  bool full_edit = false;
  std::string register_path;   // empty: none given
  bool show_help = false;
  // Not empty when the arguments are not understood: say it with the usage and stop.
  std::string error;
  bool list_report = false;
  std::string pdf_path;
  bool all_rows = false;
};

// args are the arguments without the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace lgoty::app
