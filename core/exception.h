// The exception base of every engine. A failure carries the exact message text that the
// user or the calling program sees; commands catch at their boundary and show it.
#pragma once

#include <exception>
#include <string>

namespace lgoty::core {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  // The class name that scripts see as ExceptionClassName ("Exception", "EConvertError", ...).
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// Text that does not convert to the asked type ("'abc' is not a valid integer value").
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EConvertError"; }
};

// A variant operation that its operands do not allow (for example Null used as a string
// where no conversion exists, or an array where a scalar is needed).
class EVariantError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EVariantError"; }
};

// Integer or floating division by zero and overflow in variant arithmetic.
class EMathError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EMathError"; }
};

// An index outside a list or string ("List index out of bounds (5)").
class EListError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EStringListError"; }
};

}  // namespace lgoty::core
