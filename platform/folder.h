// Folders: whether one exists, and the regular files it holds.
#pragma once

#include <string>
#include <system_error>
#include <vector>

namespace lgoty::platform {

// True when path names a folder (following links).
bool DirectoryExists(const std::string& path);
// Names (not paths) of the regular files directly in folder, in no particular order; links
// to regular files count. Sets error (and returns nothing) when the folder cannot be opened;
// an error part way through ends the list there.
std::vector<std::string> FilesInFolder(const std::string& folder, std::error_code& error);

}  // namespace lgoty::platform
