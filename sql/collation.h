// Text comparison for the SQL side in the locale's language (core/locale.h, ICU):
//   - the collation kLocaleCollation, declared on every text column of the folder's tables:
//     letter case is ignored and the language's alphabet order holds, so in Russian "ёлкин"
//     sorts with "Елкин" (after it, before "Елкина") instead of after every other letter as
//     a byte order would put it; texts equal but for letter case compare equal, as the
//     desktop database's text comparison does;
//   - UPPER and LOWER that map every letter the language knows, not ASCII only;
//   - LIKE (with and without ESCAPE) that ignores letter case for every letter: "%" matches
//     any run of characters, "_" one character (a code point, not a byte).
// The SQL functions check the statement budget in their loops.
#pragma once

#include <string_view>

struct sqlite3;

namespace lgoty::sql {

class TStatementBudget;
class TSortKeyCache;

inline constexpr const char* kLocaleCollation = "LOCALE";

// Registers the collation and replaces upper, lower and like on db. budget must outlive db.
// Returns the collation's key cache (db owns it, for CompareLocaleText while db is open).
TSortKeyCache* RegisterLocaleFunctions(sqlite3* db, const TStatementBudget* budget);

// The collation's comparison of two UTF-8 texts (<0, 0, >0), as SQLite calls it.
int CompareLocaleText(TSortKeyCache& keys, std::string_view a, std::string_view b);

}  // namespace lgoty::sql
