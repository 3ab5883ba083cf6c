// The error of the dataset abstraction. Its texts are the ones that users of data-aware
// programs know ("Dataset not in edit or insert mode", "Field 'X' not found"); the texts are
// kept together here so that every layer raises the same words.
#pragma once

#include <string>
#include <string_view>

#include "core/exception.h"

namespace lgoty::data {

class EDatabaseError : public core::Exception {
 public:
  using core::Exception::Exception;
  const char* ClassName() const noexcept override { return "EDatabaseError"; }
};

inline constexpr std::string_view kNotEditing = "Dataset not in edit or insert mode";
inline constexpr std::string_view kDataSetClosed =
    "Cannot perform this operation on a closed dataset";
inline constexpr std::string_view kDataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr std::string_view kDataSetEmpty =
    "Cannot perform this operation on an empty dataset";
inline constexpr std::string_view kDataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr std::string_view kRecordNotFound = "Record not found";
inline constexpr std::string_view kCircularDataLink = "Circular datalinks are not allowed";
inline constexpr std::string_view kBookmarkNotFound = "Bookmark not found for dataset";

// "Field 'X' not found" and the other texts that name a field.
inline std::string FieldNotFoundText(std::string_view name) {
  return "Field '" + std::string(name) + "' not found";
}
inline std::string FieldReadOnlyText(std::string_view name) {
  return "Field '" + std::string(name) + "' cannot be modified";
}
inline std::string FieldRequiredText(std::string_view name) {
  return "Field '" + std::string(name) + "' must have a value";
}
inline std::string FieldUnknownTypeText(std::string_view name) {
  return "Field '" + std::string(name) + "' is of an unknown type";
}
inline std::string DuplicateFieldText(std::string_view name) {
  return "Duplicate field name '" + std::string(name) + "'";
}
inline std::string FieldRangeText(std::string_view value, std::string_view name) {
  return "'" + std::string(value) + "' is not a valid value for field '" + std::string(name) +
         "'";
}

}  // namespace lgoty::data
