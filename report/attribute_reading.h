// Helpers of the serializer's reading side that a rebuilt prepared page calls for every
// attribute of every object: a property looked up by class and name, a number read from an
// attribute's text. Each has a quick way for what the store and templates write and falls
// back to the general one for anything else, with the same result.
#pragma once

#include <optional>
#include <string_view>

#include "core/rtti.h"

namespace lgoty::report {

// info->FindProperty(name), remembered per thread by class and exact name (the classes'
// property tables never change once registered): the same few names come back on every
// object of a page, and the class's index compares a name letter by letter many times.
// info must not be null.
const core::PropInfo* FindPropertyCached(const core::ClassInfo* info, std::string_view name);

// A float attribute: '.' or ',' as the decimal separator, blanks ignored, entities decoded;
// what does not read as a number goes through core::StrToFloat (which throws).
double ParseFloatAttribute(std::string_view raw);
// The same without the quick ways: the reference the quick ways are tested against.
double ParseFloatAttributeGeneral(std::string_view raw);
// The quick way alone: a plain decimal of at most 15 digits with an optional sign and
// separator ("-83,15", "737.00835"), read exactly as the general way reads it (the digits
// as an integer divided by a power of ten: both exact in a double, so the one rounding of
// the division is the correct rounding of the decimal). Nothing for anything else.
std::optional<double> ParsePlainDecimal(std::string_view raw);

}  // namespace lgoty::report
