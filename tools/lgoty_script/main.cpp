// lgoty-script FILE [--language NAME] [--locale NAME] [--steps N] [--timeout-ms N]
//
// Compiles and runs a script with the system library. ShowMessage prints its text and a
// newline to standard output. A compile error prints "LINE:COL: MESSAGE" to standard error
// and exits 1; an uncaught run-time error prints its message and exits 2; a file that
// cannot be read or bad arguments exit 3.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "core/format_settings.h"
#include "script/grammar.h"
#include "script/interpreter.h"

namespace {

int Usage() {
  std::cerr << "usage: lgoty-script FILE [--language NAME] [--locale NAME] [--steps N] [--timeout-ms N]\n";
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lgoty;
  std::string file, language = "PascalScript", locale;
  uint64_t steps = 0;
  long timeout_ms = 0;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--language") {
      if (!value(language)) return Usage();
    } else if (a == "--locale") {
      if (!value(locale)) return Usage();
    } else if (a == "--steps") {
      if (!value(v)) return Usage();
      steps = std::stoull(v);
    } else if (a == "--timeout-ms") {
      if (!value(v)) return Usage();
      timeout_ms = std::stol(v);
    } else if (file.empty() && (a.empty() || a[0] != '-')) {
      file = a;
    } else {
      return Usage();
    }
  }
  if (file.empty()) return Usage();
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::cerr << "cannot read " << file << "\n";
    return 3;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (!locale.empty()) core::SetDefaultFormatSettings(core::FormatSettings::ForLocale(locale));

  script::TfsScript s;
  s.syntax_type = language;
  s.extended_chars = true;
  s.include_path = {std::filesystem::path(file).parent_path().string()};
  s.AddRTTI();
  s.on_show_message = [](const std::string& msg) {
    std::fwrite(msg.data(), 1, msg.size(), stdout);
    std::fputc('\n', stdout);
  };
  if (steps != 0) s.SetStepLimit(steps);
  if (timeout_ms > 0) s.SetTimeLimit(std::chrono::milliseconds(timeout_ms));
  s.SetLines(text.str());
  try {
    if (!s.Compile()) {
      std::cerr << s.ErrorPos() << ": " << (s.ErrorUnit().empty() ? "" : s.ErrorUnit() + ": ") << s.ErrorMessage()
                << "\n";
      return 1;
    }
  } catch (const std::exception& e) {
    std::cerr << "1:1: " << e.what() << "\n";
    return 1;
  }
  try {
    s.Execute();
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::cerr << e.what() << "\n";
    return 2;
  }
  std::fflush(stdout);
  return 0;
}
