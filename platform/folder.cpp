#include "platform/folder.h"

#include <filesystem>

namespace lgoty::platform {

bool DirectoryExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::is_directory(path, ignored);
}

std::vector<std::string> FilesInFolder(const std::string& folder, std::error_code& error) {
  error.clear();
  std::vector<std::string> names;
  std::filesystem::directory_iterator it(folder, error);
  if (error) return names;
  std::error_code step_error;
  for (; it != std::filesystem::directory_iterator(); it.increment(step_error)) {
    if (step_error) break;
    std::error_code entry_error;
    if (it->is_regular_file(entry_error)) names.push_back(it->path().filename().string());
  }
  return names;
}

}  // namespace lgoty::platform
