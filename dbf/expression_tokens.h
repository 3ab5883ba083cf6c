// Tokens of key and filter expressions.
//
//   string   from ' or " to the next same quote, no escapes (an unclosed string runs to the
//            end of the text)
//   number   digits [. digits] [e [sign] digits], or the same starting at '.';
//            $ followed by hexadecimal digits
//   name     a letter or _ (or any byte >= 0x80) followed by letters, digits and _
//   symbol   $ % ( ) * / \ ^ ~ alone; & or &&; | or ||; ! or !=; : or :=; <, > or = followed
//            by one of < = > as one token; + and - alone; any other character alone
// Spaces (and other white space) separate tokens.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lgoty::dbf {

enum class TTokenKind { String, Integer, Float, Name, Symbol };

struct TToken {
  TTokenKind kind;
  std::string text;      // the characters as written (a string without its quotes)
  double real = 0;       // Float
  long long integer = 0; // Integer; saturated when the digits do not fit 64 bits
  bool integer_overflow = false;
  size_t position = 0;   // offset in the expression text
};

std::vector<TToken> TokenizeExpression(std::string_view text);

}  // namespace lgoty::dbf
