// Errors of the DBF table engine and the message texts the user sees.
//
// EDbfError is every refusal of the engine (bad file, locked record, wrong access mode);
// EDbfWriteError is a write that stored less than asked (a full disk), raised after the
// engine has undone what it could.
#pragma once

#include <string>

#include "core/exception.h"

namespace lgoty::dbf {

class EDbfError : public core::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EDbfError"; }
};

class EDbfWriteError : public EDbfError {
 public:
  using EDbfError::EDbfError;
  const char* ClassName() const noexcept override { return "EDbfWriteError"; }
};

inline constexpr const char* kRecordLocked = "Record locked.";
inline constexpr const char* kInvalidDbfFile = "Invalid DBF file.";
inline constexpr const char* kNeedExclusiveAccess =
    "Exclusive access is required for this operation.";
inline constexpr const char* kWriteIndexError =
    "Error while writing occurred; indexes probably corrupted. (Disk full?)";
inline constexpr const char* kWriteError = "Error while writing occurred. (Disk full?)";

inline std::string InvalidFieldCountMessage(long long count) {
  return "Invalid field count: " + std::to_string(count) + " (must be between 1 and 4095).";
}
// A new table whose fields add up to more than a record length can express.
inline std::string InvalidRecordLengthMessage(long long length) {
  return "Invalid record length: " + std::to_string(length) + " (must be at most 65535).";
}
inline std::string FileNotFoundMessage(const std::string& file_name) {
  return "Open: file not found: \"" + file_name + "\".";
}

}  // namespace lgoty::dbf
