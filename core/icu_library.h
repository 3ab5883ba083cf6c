// ICU, loaded when a locale service is first asked for instead of when the program starts.
//
// Loading and relocating ICU's libraries costs a program several milliseconds at start, and
// most runs of the command-line tools never compare, collate or change the case of a text.
// The locale services reach ICU only through the table below, filled from the libraries of
// the version the program was built against (their file names carry the major version, and
// so do their C entry points).
//
// Internal to core: locale.cpp and mask_text.cpp use it.
#pragma once

#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utypes.h>

namespace lgoty::core::icu_library {

struct Functions {
  decltype(&::u_errorName) errorName;
  decltype(&::u_strFromUTF8WithSub) strFromUTF8WithSub;
  decltype(&::u_strToUTF8WithSub) strToUTF8WithSub;
  decltype(&::u_strToUpper) strToUpper;
  decltype(&::u_strToLower) strToLower;
  decltype(&::u_toupper) toupper;
  decltype(&::u_tolower) tolower;
  decltype(&::ucol_open) open;
  decltype(&::ucol_clone) clone;
  decltype(&::ucol_close) close;
  decltype(&::ucol_setStrength) setStrength;
  decltype(&::ucol_strcollUTF8) strcollUTF8;
  decltype(&::ucol_getSortKey) getSortKey;
};

// The functions, the libraries loaded on the first call (safe from several threads). Throws
// core::Exception naming the library when it cannot be loaded or lacks an entry point.
const Functions& Icu();

}  // namespace lgoty::core::icu_library
