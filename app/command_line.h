// The program's arguments: lgoty [/f] [REGISTER.dbf]
//
// The start argument is the first argument after lower-case folding; only "/f" (so also
// "/F") switches on the full edit mode (adding rows, editing the identity fields). A
// register path, when given, is the first argument after an optional "/f" that names a file
// (it holds a '.' or a '/') and is no option ("-x", "/x"); that register opens at start.
#pragma once

#include <string>
#include <vector>

namespace lgoty::app {

struct TCommandLine {
  std::string start_argument;  // folded; empty without arguments
  bool full_edit = false;
  std::string register_path;   // empty: none given
};

// args are the arguments without the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace lgoty::app
