#include "ui/calculator.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace lgoty::ui {
namespace {

// Shortest text of at most 15 significant digits with '.' as the point.
std::string ShortText(double value) {
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  return buf;
}

}  // namespace

Calculator::Calculator(std::string decimal_separator) : separator_(std::move(decimal_separator)) {}

void Calculator::Reset(double value) {
  accumulator_ = 0;
  pending_ = 0;
  error_ = false;
  entry_ = ShortText(value);
}

double Calculator::entry_value() const {
  if (entry_.empty()) return accumulator_;
  double value = 0;
  const char* begin = entry_.data();
  std::from_chars(begin, begin + entry_.size(), value);
  return value;
}

void Calculator::Apply() {
  const double right = entry_value();
  switch (pending_) {
    case '+': accumulator_ += right; break;
    case '-': accumulator_ -= right; break;
    case '*': accumulator_ *= right; break;
    case '/':
      if (right == 0) {
        error_ = true;
        return;
      }
      accumulator_ /= right;
      break;
    default: accumulator_ = right; break;
  }
  if (!std::isfinite(accumulator_)) error_ = true;
}

void Calculator::Press(char key) {
  if (key == 'C') {
    Reset(0);
    return;
  }
  if (error_) {
    if (key < '0' || key > '9') return;
    Reset(0);
  }
  const char separator = separator_.empty() ? '.' : separator_[0];
  if (key >= '0' && key <= '9') {
    if (entry_ == "0") entry_.clear();
    if (entry_.size() < 15) entry_ += key;
  } else if (key == '.' || key == separator) {
    if (entry_.find('.') == std::string::npos) entry_ += entry_.empty() ? "0." : ".";
  } else if (key == '\b') {
    if (!entry_.empty()) entry_.pop_back();
    if (entry_ == "-") entry_.clear();
  } else if (key == '~') {
    const double value = -entry_value();
    entry_ = ShortText(value);
  } else if (key == '+' || key == '-' || key == '*' || key == '/' || key == '=') {
    // An operator right after another replaces it.
    if (!entry_.empty() || pending_ == 0) Apply();
    entry_.clear();
    pending_ = key == '=' ? 0 : key;
    if (key == '=' && !error_) {
      entry_ = ShortText(accumulator_);
      accumulator_ = 0;
    }
  }
}

std::string Calculator::Display() const {
  if (error_) return "Ошибка";
  std::string text = entry_.empty() ? ShortText(accumulator_) : entry_;
  const size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, separator_);
  return text;
}

}  // namespace lgoty::ui
