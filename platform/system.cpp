// Machine and program facts, and the file-name helpers the engines and scripts share.

#include "platform/system.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "core/ascii_text.h"
#include "platform/file.h"

namespace lgoty::platform {
namespace {

// A desktop computer name holds at most this many characters.
constexpr size_t kComputerNameLength = 15;
// What the kernel appends to /proc/self/exe when the executable was replaced or removed.
constexpr std::string_view kDeletedSuffix = " (deleted)";

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Index just past the last separator (0 when there is none).
size_t NameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) return i;
  }
  return 0;
}

// Index of the extension's dot within the last component, or npos.
size_t ExtensionStart(const std::string& path) {
  const size_t name_start = NameStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return std::string::npos;
  return dot;
}

// The executable's full path, or empty when the system does not tell.
std::string ExecutablePath() {
  std::string buffer(PATH_MAX, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      break;
    }
    if (buffer.size() >= (size_t{1} << 20)) return {};
    buffer.resize(buffer.size() * 2);  // truncated: try a larger buffer
  }
  if (buffer.size() > kDeletedSuffix.size() && buffer.ends_with(kDeletedSuffix)) {
    buffer.resize(buffer.size() - kDeletedSuffix.size());
  }
  return buffer;
}

}  // namespace

std::string ComputerName() {
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host - 1) != 0) return {};
  std::string name(host);
  // A network host name may be fully qualified; the computer name is its first label.
  if (const size_t dot = name.find('.'); dot != std::string::npos) name.resize(dot);
  if (name.size() > kComputerNameLength) name.resize(kComputerNameLength);
  return core::AsciiUpper(name);
}

std::string TempFolder() {
  const char* env = getenv("TMPDIR");
  std::string folder = (env != nullptr && *env != '\0') ? env : "/tmp";
  if (folder.back() != '/') folder.push_back('/');
  return folder;
}

std::string CreateTempFile(const std::string& prefix) {
  return CreateTempFileIn(std::string(), prefix);
}

std::string CreateTempFileIn(const std::string& folder, const std::string& prefix) {
  std::string dir = folder;
  struct stat st;
  if (dir.empty() || stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) dir = TempFolder();
  if (dir.back() != '/') dir.push_back('/');
  // The prefix names the file, never a folder under the chosen one.
  std::string name = prefix;
  for (char& c : name) {
    if (IsSeparator(c)) c = '_';
  }
  std::string path = dir + name + "XXXXXX";
  const int fd = mkostemp(path.data(), O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw EFileError("Cannot create a temporary file in \"" + dir + "\". " +
                     std::system_category().message(error));
  }
  close(fd);
  return path;
}

std::string ProgramFolder() {
  const std::string path = ExecutablePath();
  if (path.empty()) return "./";
  return ExtractFilePath(path);
}

std::string ProgramName() {
  const std::string name = ExtractFileName(ExecutablePath());
  const size_t dot = ExtensionStart(name);
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string ExtractFileExt(const std::string& path) {
  const size_t dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const size_t dot = ExtensionStart(path);
  return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

}  // namespace lgoty::platform
