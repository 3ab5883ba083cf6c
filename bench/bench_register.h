// What the register benchmarks share: their two options and the generated register they run
// on (bench-data/register_N.dbf in the current folder, made once by gen_register, which is
// built beside the benchmark).
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace lgoty::bench {

struct RegisterBenchOptions {
  unsigned long rows = 1'000'000;
  int runs = 3;
};

// False (after printing the usage line) when the arguments are not --rows N / --runs R.
inline bool ParseRegisterBenchOptions(int argc, char** argv, const char* program,
                                      RegisterBenchOptions& out) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) {
      out.rows = std::strtoul(argv[++i], nullptr, 10);
    } else if (a == "--runs" && i + 1 < argc) {
      out.runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--rows N] [--runs R]\n", program);
      return false;
    }
  }
  return true;
}

// The path of the register of that many rows, generated when it is not there yet.
inline std::string EnsureBenchRegister(const char* argv0, unsigned long rows) {
  std::filesystem::create_directories("bench-data");
  const std::string path = "bench-data/register_" + std::to_string(rows) + ".dbf";
  if (!std::filesystem::exists(path)) {
    const std::filesystem::path generator = std::filesystem::path(argv0).parent_path() / "gen_register";
    const std::string command =
        generator.string() + " --rows " + std::to_string(rows) + " --seed 1 --kind med " + path;
    std::printf("generating: %s\n", command.c_str());
    if (std::system(command.c_str()) != 0) throw std::runtime_error("gen_register failed");
  }
  return path;
}

}  // namespace lgoty::bench
