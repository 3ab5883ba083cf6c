// Helpers shared by the DBF engine tests: a scratch folder per test and byte access to files.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"

namespace lgoty::dbf::testing {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "lgoty-dbf-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline std::vector<std::byte> Bytes(const std::string& path) {
  return platform::ReadWholeFile(path);
}

inline std::vector<std::byte> Bytes(std::initializer_list<int> values) {
  std::vector<std::byte> out;
  for (int v : values) out.push_back(static_cast<std::byte>(v));
  return out;
}

inline std::vector<std::byte> Text(const std::string& text) {
  std::vector<std::byte> out;
  for (char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}

inline int At(const std::vector<std::byte>& bytes, size_t i) {
  return static_cast<int>(bytes.at(i));
}

}  // namespace lgoty::dbf::testing
