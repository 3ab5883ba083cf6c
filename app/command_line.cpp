#include "app/command_line.h"

#include "app/folding.h"

namespace lgoty::app {

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
  TCommandLine result;
  if (args.empty()) return result;
  result.start_argument = LowerFold(args[0]);
  result.full_edit = result.start_argument == "/f";
  const size_t path_at = result.full_edit ? 1 : 0;
  if (path_at < args.size()) {
    const std::string& candidate = args[path_at];
    // A path names a file (has a dot) or a folder part; "-f", "f" or "/x" are not paths.
    const bool option = candidate.empty() || candidate[0] == '-' ||
                        (candidate[0] == '/' && candidate.size() <= 2);
    const bool names_file = candidate.find('.') != std::string::npos ||
                            candidate.find('/') != std::string::npos;
    if (!option && names_file) result.register_path = candidate;
  }
  return result;
}

}  // namespace lgoty::app
