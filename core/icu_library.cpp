#include "core/icu_library.h"

#include <dlfcn.h>
#include <unicode/uvernum.h>

#include <string>

#include "core/exception.h"

// The name an entry point has in the library: the headers rename every C function to carry
// the version ("ucol_open" is a macro for "ucol_open_72"), so the macro expanded and then
// made a string is the symbol to look up.
#define LGOTY_ICU_STRING(name) #name
#define LGOTY_ICU_SYMBOL(name) LGOTY_ICU_STRING(name)

namespace lgoty::core::icu_library {
namespace {

constexpr const char* kCommonLibrary = "libicuuc.so." U_ICU_VERSION_SHORT;
constexpr const char* kCollationLibrary = "libicui18n.so." U_ICU_VERSION_SHORT;

void* OpenLibrary(const char* name) {
  void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    throw Exception(std::string("The Unicode library ") + name + " cannot be loaded" +
                    (reason ? std::string(": ") + reason : std::string()));
  }
  return handle;
}

template <typename Function>
void Resolve(void* library, const char* library_name, const char* symbol, Function& out) {
  void* address = dlsym(library, symbol);
  if (address == nullptr)
    throw Exception(std::string("The Unicode library ") + library_name + " lacks " + symbol);
  out = reinterpret_cast<Function>(address);
}

Functions Load() {
  // The libraries stay loaded for the life of the process: collators opened from them live
  // in static and thread-local storage until exit.
  void* common = OpenLibrary(kCommonLibrary);
  void* collation = OpenLibrary(kCollationLibrary);
  Functions f{};
#define LGOTY_ICU_RESOLVE(library, field, name) \
  Resolve(library, library##_name, LGOTY_ICU_SYMBOL(name), f.field)
  const char* common_name = kCommonLibrary;
  const char* collation_name = kCollationLibrary;
  LGOTY_ICU_RESOLVE(common, errorName, u_errorName);
  LGOTY_ICU_RESOLVE(common, strFromUTF8WithSub, u_strFromUTF8WithSub);
  LGOTY_ICU_RESOLVE(common, strToUTF8WithSub, u_strToUTF8WithSub);
  LGOTY_ICU_RESOLVE(common, strToUpper, u_strToUpper);
  LGOTY_ICU_RESOLVE(common, strToLower, u_strToLower);
  LGOTY_ICU_RESOLVE(common, toupper, u_toupper);
  LGOTY_ICU_RESOLVE(common, tolower, u_tolower);
  LGOTY_ICU_RESOLVE(collation, open, ucol_open);
  LGOTY_ICU_RESOLVE(collation, clone, ucol_clone);
  LGOTY_ICU_RESOLVE(collation, close, ucol_close);
  LGOTY_ICU_RESOLVE(collation, setStrength, ucol_setStrength);
  LGOTY_ICU_RESOLVE(collation, strcollUTF8, ucol_strcollUTF8);
  LGOTY_ICU_RESOLVE(collation, getSortKey, ucol_getSortKey);
#undef LGOTY_ICU_RESOLVE
  return f;
}

}  // namespace

const Functions& Icu() {
  // A failed load throws out of the initialisation, which is tried again on the next call.
  static const Functions functions = Load();
  return functions;
}

}  // namespace lgoty::core::icu_library
