// Errors of the index files: messages, the key violation and the locale question.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "dbf/dbf_errors.h"

namespace lgoty::dbf {

inline constexpr const char* kAssertionFailure = "Assertion failure";
inline constexpr const char* kTooManyIndexes = "Can not create index: too many indexes in file.";

// "Key violation. (Key already present in file).\r\nIndex: %s\r\nRecord=%d Key='%s'."
inline std::string KeyViolationMessage(const std::string& index_name, uint32_t recno,
                                       const std::string& key) {
  return "Key violation. (Key already present in file).\r\nIndex: " + index_name +
         "\r\nRecord=" + std::to_string(recno) + " Key='" + key + "'.";
}

// The error a key violation raises; the data file lets it through after rolling back.
class EDbfKeyViolation : public EDbfError {
 public:
  using EDbfError::EDbfError;
};

// Bad bytes in an index file: "Damaged index file NAME: what." with the file's name (without
// its folder), or without a name for an index that has none (memory storage).
[[noreturn]] inline void ThrowDamagedIndex(const std::string& file_name, const std::string& what) {
  throw EDbfError("Damaged index file" + (file_name.empty() ? "" : " " + file_name) + ": " + what +
                  ".");
}

// The language of an index and its table disagree, or the collation is unknown.
enum class TLocaleError : uint8_t { leNone, leUnknown, leTableIndexMismatch, leNotAvailable };
// What to do about it: leave the index closed, open it without ever changing it, or order
// its keys by plain byte values.
enum class TLocaleSolution : uint8_t { lsNotOpen, lsNoEdit, lsBinary };
// Receives the error with the solution preset to lsNotOpen.
using TLocaleErrorHandler = std::function<void(TLocaleError error, TLocaleSolution& solution)>;

}  // namespace lgoty::dbf
