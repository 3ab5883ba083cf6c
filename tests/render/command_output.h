// What a command prints on standard output (pdftotext, pdfinfo), for checking written files.
#pragma once

#include <cstdio>
#include <string>

namespace lgoty::testing {

inline std::string CommandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

}  // namespace lgoty::testing
