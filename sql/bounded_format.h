// printf() and format() of the query language, with the size of what they build bounded
// before they build it.
#pragma once

struct sqlite3;

namespace lgoty::sql {

// Replaces printf and format on db. A width or precision (written out or taken from an
// argument with "*") larger than max_length is refused with "string or blob too big"
// instead of being tried: the built-in functions spend seconds on such a request and then
// give NULL. Everything else is formatted by the built-in functions, reached through a
// private connection of their own.
void RegisterBoundedFormat(sqlite3* db, int max_length);

}  // namespace lgoty::sql
