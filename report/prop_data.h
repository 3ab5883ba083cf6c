// Binary-defined properties ("PropData" attributes): values a class streams itself instead
// of publishing them, such as the picture bytes of a picture view or the designer position
// (pLeft, pTop) of a data set. In a template they travel as one attribute whose value is the
// bytes in upper-case hexadecimal, two digits per byte.
//
// Byte layout, a sequence of entries up to the end of the data:
//   1 byte N, N bytes          property name
//   1 byte tag, payload        the value:
//     0 vaNull | 1 vaList: properties up to vaNull | 2 vaInt8: 1 byte | 3 vaInt16: 2 bytes
//     4 vaInt32: 4 bytes | 5 vaExtended: 10-byte extended float | 6 vaString: 1-byte length
//     + bytes | 7 vaIdent: 1-byte length + name | 8 vaFalse | 9 vaTrue
//     10 vaBinary: 4-byte length + bytes | 11 vaSet: names (1-byte length each) up to an
//     empty one | 12 vaLString: 4-byte length + bytes | 13 vaNil
//     14 vaCollection: items up to vaNull, each vaList + properties + vaNull
//     15 vaSingle: 4 bytes | 16 vaCurrency: 8 bytes (value x 10000) | 17 vaDate: 8-byte
//     double | 18 vaWString: 4-byte count + UTF-16LE | 19 vaInt64: 8 bytes
//     20 vaUTF8String: 4-byte length + bytes | 21 vaDouble: 8 bytes
// Integers are little-endian. Strings other than vaWString and vaUTF8String are in the ANSI
// code page. Reading stops at the end of the data or at the first malformed entry; what was
// read before stays.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lgoty::report {

struct PropValue {
  enum class Type { Null, Integer, Float, String, Ident, Boolean, Binary, Nil, Set, Collection };
  using Properties = std::vector<std::pair<std::string, PropValue>>;

  Type type = Type::Nil;
  int64_t integer = 0;
  double real = 0;
  std::string text;  // String (UTF-8), Ident, Binary bytes
  std::vector<std::string> set_elements;
  std::vector<Properties> items;  // Collection

  static PropValue Int(int64_t v) {
    PropValue p;
    p.type = Type::Integer;
    p.integer = v;
    return p;
  }
  static PropValue Str(std::string v) {
    PropValue p;
    p.type = Type::String;
    p.text = std::move(v);
    return p;
  }
  static PropValue Bin(std::string bytes) {
    PropValue p;
    p.type = Type::Binary;
    p.text = std::move(bytes);
    return p;
  }
};

// Encodes entries; strings go out as vaString/vaLString in the ANSI code page when they
// convert without loss, otherwise as vaUTF8String.
std::string EncodePropData(const PropValue::Properties& entries);
// Decodes entries up to the end or the first malformed one.
PropValue::Properties DecodePropData(std::string_view bytes);

std::string BytesToHex(std::string_view bytes);
// Hex digits to bytes; stops at the first non-hex pair.
std::string HexToBytes(std::string_view hex);

// 80-bit extended floats.
double ExtendedToDouble(const unsigned char bytes[10]);
void DoubleToExtended(double value, unsigned char bytes[10]);

}  // namespace lgoty::report
