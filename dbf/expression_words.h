// The words of key and filter expressions: value slots, constants, variables, functions and
// operators, and the sorted word lists they are looked up in.
//
// Value types and their signature letters:
//
//   type        letter  result code  storage in TExprValue
//   integer     I       0            integer (32-bit)
//   string      S       1            text/length (NUL-terminated, in the parser's text code page)
//   boolean     B       2            boolean (0 or 1)
//   large int   L       3            large (64-bit)
//   float       F       4            real (double)
//   date-time   D       5            real (TDateTime; NaN stands for a blank date)
//
// A function or operator entry is one row of a table: name, optional short name, precedence
// (operators only; a smaller number binds tighter), the routine, the result type, the minimum
// number of arguments and one signature letter per argument (at most six). Overloads are rows
// with the same name; the row whose letters match the argument types is chosen when the tree
// is built, so evaluation never looks at types again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"

namespace lgoty::dbf {

// Syntax and type errors of an expression.
class EParserException : public core::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EParserException"; }
};

enum class TExpressionType : uint8_t {
  etInteger = 0,
  etString = 1,
  etBoolean = 2,
  etLargeInt = 3,
  etFloat = 4,
  etDateTime = 5,
};

char SignatureLetter(TExpressionType type);

inline constexpr size_t kMaxFunctionArgs = 6;
// String results start in a buffer of this size, which grows as needed and is kept.
inline constexpr size_t kInitialTextBuffer = 32;

// The result buffer of one word or step. Strings are NUL-terminated views into buffer.
struct TExprValue {
  TExpressionType type = TExpressionType::etInteger;
  int32_t integer = 0;
  int64_t large = 0;
  double real = 0;
  uint8_t boolean = 0;
  const char* text = "";
  size_t length = 0;
  std::vector<char> buffer;

  std::string_view Text() const { return {text, length}; }
  // Room for n characters and the NUL; the returned pointer is valid until the next call.
  char* ReserveText(size_t n);
  // Ends the text written into buffer at n characters.
  void CommitText(size_t n);
  void SetText(std::string_view value);
};

class TExpressionContext;

// One evaluation step: a routine reading its arguments' slots and writing its own.
struct TExprStep;
using TExprFunc = void (*)(TExprStep& step);

struct TExprStep {
  TExprFunc func = nullptr;
  const TExpressionContext* context = nullptr;
  TExprValue* args[kMaxFunctionArgs] = {};
  size_t arg_count = 0;
  TExprValue* result = nullptr;
};

enum class TWordKind : uint8_t { Constant, Variable, Function, LeftBracket, RightBracket, Comma };

// Which string comparison set a row belongs to; rows of other sets are not active.
enum class TStringCompareSet : uint8_t { Any, Sensitive, Insensitive, SensitivePartial,
                                         InsensitivePartial };

class TExprWord {
 public:
  explicit TExprWord(std::string name) : name_(std::move(name)) {}
  virtual ~TExprWord() = default;
  TExprWord(const TExprWord&) = delete;
  TExprWord& operator=(const TExprWord&) = delete;

  const std::string& Name() const { return name_; }
  virtual TWordKind Kind() const = 0;

 private:
  std::string name_;
};

// Constants and variables own the slot their value lives in.
class TValueWord : public TExprWord {
 public:
  TValueWord(std::string name, TExpressionType type) : TExprWord(std::move(name)) {
    value_.type = type;
  }
  TExpressionType ResultType() const { return value_.type; }
  TExprValue& Value() { return value_; }
  const TExprValue& Value() const { return value_; }

 protected:
  TExprValue value_;
};

class TConstant : public TValueWord {
 public:
  using TValueWord::TValueWord;
  TWordKind Kind() const override { return TWordKind::Constant; }
};

class TStringConstant : public TConstant {
 public:
  TStringConstant(std::string name, std::string_view text);
};
class TIntegerConstant : public TConstant {
 public:
  TIntegerConstant(std::string name, int32_t value);
};
class TLargeIntConstant : public TConstant {
 public:
  TLargeIntConstant(std::string name, int64_t value);
};
class TFloatConstant : public TConstant {
 public:
  TFloatConstant(std::string name, double value);
};
class TBooleanConstant : public TConstant {
 public:
  TBooleanConstant(std::string name, bool value);
};

// A variable is refreshed before each evaluation; record is the current record (empty for
// variables that do not read one).
class TVariable : public TValueWord {
 public:
  using TValueWord::TValueWord;
  TWordKind Kind() const override { return TWordKind::Variable; }
  virtual void Refresh(std::span<const std::byte> record) = 0;
};

// Variables over caller-owned storage, which must outlive the parser that uses them.
class TStringVariable : public TVariable {
 public:
  TStringVariable(std::string name, const std::string* source);
  void Refresh(std::span<const std::byte>) override { value_.SetText(*source_); }

 private:
  const std::string* source_;
};
class TIntegerVariable : public TVariable {
 public:
  TIntegerVariable(std::string name, const int32_t* source)
      : TVariable(std::move(name), TExpressionType::etInteger), source_(source) {}
  void Refresh(std::span<const std::byte>) override { value_.integer = *source_; }

 private:
  const int32_t* source_;
};
class TLargeIntVariable : public TVariable {
 public:
  TLargeIntVariable(std::string name, const int64_t* source)
      : TVariable(std::move(name), TExpressionType::etLargeInt), source_(source) {}
  void Refresh(std::span<const std::byte>) override { value_.large = *source_; }

 private:
  const int64_t* source_;
};
class TFloatVariable : public TVariable {
 public:
  TFloatVariable(std::string name, const double* source)
      : TVariable(std::move(name), TExpressionType::etFloat), source_(source) {}
  void Refresh(std::span<const std::byte>) override { value_.real = *source_; }

 private:
  const double* source_;
};
class TDateTimeVariable : public TVariable {
 public:
  TDateTimeVariable(std::string name, const double* source)
      : TVariable(std::move(name), TExpressionType::etDateTime), source_(source) {}
  void Refresh(std::span<const std::byte>) override { value_.real = *source_; }

 private:
  const double* source_;
};
class TBooleanVariable : public TVariable {
 public:
  TBooleanVariable(std::string name, const bool* source)
      : TVariable(std::move(name), TExpressionType::etBoolean), source_(source) {}
  void Refresh(std::span<const std::byte>) override { value_.boolean = *source_ ? 1 : 0; }

 private:
  const bool* source_;
};

// A function or operator row.
class TFunction : public TExprWord {
 public:
  // Throws EParserException "Too many arguments" when signature has more than six letters.
  TFunction(std::string name, std::string short_name, int precedence, TExprFunc func,
            TExpressionType result_type, size_t min_args, std::string signature,
            TStringCompareSet set = TStringCompareSet::Any, bool prefix = false);
  TWordKind Kind() const override { return TWordKind::Function; }

  const std::string& ShortName() const { return short_name_; }
  // 0 for functions; operators bind tighter the smaller the number.
  int Precedence() const { return precedence_; }
  bool IsOperator() const { return precedence_ > 0; }
  // Operators written before their only operand (NOT, the signs).
  bool IsPrefix() const { return prefix_; }
  TExprFunc Func() const { return func_; }
  TExpressionType ResultType() const { return result_type_; }
  size_t MinArgs() const { return min_args_; }
  const std::string& Signature() const { return signature_; }
  TStringCompareSet CompareSet() const { return set_; }

 private:
  std::string short_name_;
  int precedence_;
  TExprFunc func_;
  TExpressionType result_type_;
  size_t min_args_;
  std::string signature_;
  TStringCompareSet set_;
  bool prefix_;
};

class TPunctuation : public TExprWord {
 public:
  TPunctuation(std::string name, TWordKind kind) : TExprWord(std::move(name)), kind_(kind) {}
  TWordKind Kind() const override { return kind_; }

 private:
  TWordKind kind_;
};

// A sorted list of borrowed words, looked up by name or short name ignoring ASCII case.
// Several words may share a name (overloads); Find returns all of them in insertion order.
class TExpressList {
 public:
  void Add(const TExprWord* word);
  void Clear() { entries_.clear(); }
  std::vector<const TExprWord*> Find(std::string_view name) const;

 private:
  struct Entry {
    std::string key;  // upper-cased
    size_t order;
    const TExprWord* word;
  };
  std::vector<Entry> entries_;
  size_t next_order_ = 0;
};

// The built-in rows: operators, the sign words, NOT/AND/OR, the functions, and the
// boolean constants TRUE and FALSE. The words live for the whole process.
std::span<const std::unique_ptr<TExprWord>> BuiltinWords();

// Names of the prefix sign words made by collapsing runs of + and -.
inline constexpr std::string_view kUnaryMinusName = "-";
inline constexpr std::string_view kUnaryPlusName = "+";

}  // namespace lgoty::dbf
