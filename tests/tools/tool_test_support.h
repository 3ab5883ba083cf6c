// A scratch folder per test and a runner for the programs in bin/, with their standard
// input, output, error and exit status.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/json.h"

namespace lgoty::tools {

inline const std::string kBin = std::string(LGOTY_BINARY_DIR) + "/bin/";

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "lgoty-tool-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern + "/";
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  std::string File(const std::string& name) const { return dir_ + name; }

  // Runs bin/<program> with args (already quoted as needed), stdin from input.
  Result Run(const std::string& program, const std::string& args, const std::string& input = "") {
    const std::string in = File("stdin.txt");
    const std::string err = File("stderr.txt");
    std::ofstream(in, std::ios::binary) << input;
    const std::string command = kBin + program + " " + args + " <" + in + " 2>" + err;
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) result.out.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream e(err, std::ios::binary);
    result.err.assign(std::istreambuf_iterator<char>(e), {});
    return result;
  }

  static std::vector<core::JsonValue> Lines(const std::string& out) {
    std::vector<core::JsonValue> lines;
    size_t start = 0;
    while (start < out.size()) {
      const size_t end = out.find('\n', start);
      lines.push_back(core::ParseJson(out.substr(start, end - start)));
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return lines;
  }

  std::string dir_;
};

}  // namespace lgoty::tools
