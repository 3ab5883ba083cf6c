// Facts about the machine and the running program.
#pragma once

#include <string>

namespace lgoty::platform {

// The host name as the network knows this computer (its first label when the name is fully
// qualified), ASCII letters upper-cased, at most 15 characters (the length of a desktop
// computer name). Empty when the system does not tell.
std::string ComputerName();
// The folder for temporary files (TMPDIR or /tmp), with a trailing '/'.
std::string TempFolder();
// A new, unique, empty file in TempFolder() whose name starts with prefix (separators in it
// become '_', so the file stays in that folder); returns its path. Throws
// platform::EFileError when the file cannot be created.
std::string CreateTempFile(const std::string& prefix);
// The same in folder (a trailing '/' is optional); TempFolder() when folder is empty or is
// not an existing folder.
std::string CreateTempFileIn(const std::string& folder, const std::string& prefix);
// The folder of the running program's executable, with a trailing '/' ("./" when the system
// does not tell).
std::string ProgramFolder();
// The executable's file name without folder and extension ("lgoty").
std::string ProgramName();

// Path helpers with '/' as the separator (a '\\' in a name from a template is also taken as
// one): "a/b/c.dbf" -> "a/b/", "c.dbf", ".dbf", "a/b/c.mdx".
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);

}  // namespace lgoty::platform
