#include "app/command_line.h"

#include "app/folding.h"

namespace lgoty::app {

namespace {

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }

// "-x", "--xyz" and "/x" are options; "/home/a.dbf" and "a.dbf" are paths.
bool LooksLikeOption(const std::string& arg) {
  return arg.empty() || arg[0] == '-' || (arg[0] == '/' && arg.size() <= 2);
}

void ParseListReport(const std::vector<std::string>& args, size_t from, TCommandLine& result) {
  result.list_report = true;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--pdf") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        result.error = "--pdf needs a file name";
        return;
      }
      result.pdf_path = args[++i];
    } else if (arg == "--all") {
      result.all_rows = true;
    } else if (!LooksLikeOption(arg) && result.register_path.empty()) {
      result.register_path = arg;
    } else {
      result.error = (LooksLikeOption(arg) ? "unknown option: " : "unexpected argument: ") + arg;
      return;
    }
  }
  if (result.register_path.empty())
    result.error = "--list-report needs a register file";
  else if (result.pdf_path.empty())
    result.error = "--list-report needs --pdf OUT.pdf";
}

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine result;
  if (args.empty()) return result;
  for (const std::string& arg : args) {
    if (IsHelp(arg)) {
      result.show_help = true;
      return result;
    }
  }
  if (args[0] == "--list-report") {
    ParseListReport(args, 1, result);
    return result;
  }
  result.start_argument = LowerFold(args[0]);
  result.full_edit = result.start_argument == "/f";
  for (size_t i = result.full_edit ? 1 : 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (LooksLikeOption(arg)) {
      result.error = "unknown option: " + arg;
      return result;
    }
    if (!result.register_path.empty()) {
      result.error = "unexpected argument: " + arg;
      return result;
    }
    result.register_path = arg;
  }
  return result;
}

}  // namespace lgoty::app
