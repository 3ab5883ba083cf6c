// Calculator: the arithmetic behind the amount edit's drop-down, kept apart from the
// widgets so that it can be tested alone. It behaves like a pocket calculator: digits build
// the entry, an operator applies the pending one (left to right, no precedence), "=" shows
// the result, "C" clears everything, backspace drops the last digit, "±" changes the sign.
// Division by zero shows the error state ("Ошибка") until the next clear or digit.
//
// The display uses the given decimal separator; values start from the amount in the box.
#pragma once

#include <string>

namespace lgoty::ui {

class Calculator {
 public:
  explicit Calculator(std::string decimal_separator = ",");

  // Starts over from value (the amount already in the box).
  void Reset(double value);
  // One key: '0'..'9', the decimal separator's first character or '.', '+', '-', '*', '/',
  // '=', 'C' (clear), '\b' (backspace), '~' (change sign). Other keys are ignored.
  void Press(char key);
  // What the display shows.
  std::string Display() const;
  // The value of the display (after "=" the result).
  double Value() const { return error_ ? 0.0 : entry_value(); }
  bool Error() const { return error_; }

 private:
  double entry_value() const;
  void Apply();

  std::string separator_;
  std::string entry_;      // digits typed, '.' as the point; empty shows the accumulator
  double accumulator_ = 0;
  char pending_ = 0;       // operator waiting for its right operand
  bool error_ = false;
};

}  // namespace lgoty::ui
