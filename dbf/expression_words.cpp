#include "dbf/expression_words.h"

#include <algorithm>
#include <cstring>

#include "core/locale.h"

namespace lgoty::dbf {

char SignatureLetter(TExpressionType type) {
  static constexpr char kLetters[] = {'I', 'S', 'B', 'L', 'F', 'D'};
  return kLetters[static_cast<size_t>(type)];
}

char* TExprValue::ReserveText(size_t n) {
  if (buffer.size() < n + 1) buffer.resize(std::max({n + 1, kInitialTextBuffer, buffer.size() * 2}));
  return buffer.data();
}

void TExprValue::CommitText(size_t n) {
  buffer[n] = '\0';
  text = buffer.data();
  length = n;
}

void TExprValue::SetText(std::string_view value) {
  char* dest = ReserveText(value.size());
  if (!value.empty()) std::memmove(dest, value.data(), value.size());
  CommitText(value.size());
}

TStringConstant::TStringConstant(std::string name, std::string_view text)
    : TConstant(std::move(name), TExpressionType::etString) {
  value_.SetText(text);
}

TIntegerConstant::TIntegerConstant(std::string name, int32_t value)
    : TConstant(std::move(name), TExpressionType::etInteger) {
  value_.integer = value;
}

TLargeIntConstant::TLargeIntConstant(std::string name, int64_t value)
    : TConstant(std::move(name), TExpressionType::etLargeInt) {
  value_.large = value;
}

TFloatConstant::TFloatConstant(std::string name, double value)
    : TConstant(std::move(name), TExpressionType::etFloat) {
  value_.real = value;
}

TBooleanConstant::TBooleanConstant(std::string name, bool value)
    : TConstant(std::move(name), TExpressionType::etBoolean) {
  value_.boolean = value ? 1 : 0;
}

TStringVariable::TStringVariable(std::string name, const std::string* source)
    : TVariable(std::move(name), TExpressionType::etString), source_(source) {}

TFunction::TFunction(std::string name, std::string short_name, int precedence, TExprFunc func,
                     TExpressionType result_type, size_t min_args, std::string signature,
                     TStringCompareSet set, bool prefix)
    : TExprWord(std::move(name)),
      short_name_(std::move(short_name)),
      precedence_(precedence),
      func_(func),
      result_type_(result_type),
      min_args_(min_args),
      signature_(std::move(signature)),
      set_(set),
      prefix_(prefix) {
  if (signature_.size() > kMaxFunctionArgs) throw EParserException("Too many arguments");
}

void TExpressList::Add(const TExprWord* word) {
  auto insert = [&](std::string key) {
    Entry entry{std::move(key), next_order_++, word};
    auto at = std::upper_bound(entries_.begin(), entries_.end(), entry,
                               [](const Entry& a, const Entry& b) {
                                 return a.key != b.key ? a.key < b.key : a.order < b.order;
                               });
    entries_.insert(at, std::move(entry));
  };
  insert(core::UpperCase(word->Name()));
  if (const auto* function = dynamic_cast<const TFunction*>(word);
      function != nullptr && !function->ShortName().empty()) {
    insert(core::UpperCase(function->ShortName()));
  }
}

std::vector<const TExprWord*> TExpressList::Find(std::string_view name) const {
  const std::string key = core::UpperCase(name);
  auto first = std::lower_bound(entries_.begin(), entries_.end(), key,
                                [](const Entry& e, const std::string& k) { return e.key < k; });
  std::vector<const TExprWord*> found;
  for (auto it = first; it != entries_.end() && it->key == key; ++it) found.push_back(it->word);
  return found;
}

}  // namespace lgoty::dbf
