// TfrxFieldSlot: a data set's field as a caller found it, kept from row to row.
#pragma once

#include <cstdint>

namespace lgoty::data {
class TField;
}

namespace lgoty::report {

// What a data set found for a field name, kept by a caller that reads the same field row
// after row (an expression's text) so that the name is not searched again. It counts while
// its generation is the data set's fields generation, which is unique in the process and
// changes whenever the data set's field list is rebuilt or dropped (open, close, another
// dataset): a slot filled by another data set or for an older list is never taken.
struct TfrxFieldSlot {
  uint64_t generation = 0;  // 0: nothing found yet
  data::TField* field = nullptr;
  bool listed = false;
};

}  // namespace lgoty::report
