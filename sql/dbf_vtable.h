// The SQLite virtual table module over DBF tables: one table of a folder seen as a
// read-only SQL table. The module has no xUpdate, so the SQL side cannot change a record.
//
// Creating a table: CREATE VIRTUAL TABLE "name" USING <kDbfModuleName>(X'<path as hex>').
// The path travels hex-encoded so that any byte of a file name survives SQLite's tokenizer.
// At creation the module reads the table's header once and declares one column per field,
// in field order, with a declared type that tells the query dataset the field's type:
//
//   field type (dbf/field_defs.h)          declared type   value
//   string                                 VARCHAR(n)      text, UTF-8; blank -> NULL
//   smallint / integer / largeint / autoinc SMALLINT(n) INTEGER(n) BIGINT(n)  integer
//   float                                  FLOAT(n,d)      real
//   currency, BCD                          CURRENCY        real
//   date                                   DATE            text YYYY-MM-DD
//   date-time, time-stamp                  DATETIME        text YYYY-MM-DD HH:MM:SS[.mmm]
//   boolean                                BOOLEAN         integer 0 / 1
//   memo                                   LONGTEXT        text, UTF-8
//   blob, OLE and other binary             BLOB            blob
// Text columns carry COLLATE <kLocaleCollation> (sql/collation.h), so ORDER BY, comparisons,
// MIN/MAX and GROUP BY of text follow the locale's language. Dates are ISO text so that they
// compare and sort as dates and SQLite's date functions take them.
//
// Reading: every scan opens the file afresh, shared and read-only (dbf amReadOnly: nothing is
// ever written, not even the header's date stamp), after probing that a reader-writer could
// open it: a table held exclusively by the register program refuses the probe, and the scan
// fails with the sharing violation, as a reader of another program would. Records locked for
// editing are read as they are on disk (record locks are bytes far beyond the data and never
// block a reader). Deleted records are not returned. The rowid is the record number.
// The record count is taken when the scan starts; records appended later are not seen by it.
// A scan that orders its rows reads them all when it starts; when it keeps them in memory,
// a second thread decodes the rows ahead of the one SQLite reads (sql/row_prefetch.h).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dbf/field_defs.h"

struct sqlite3;

namespace lgoty::sql {

inline constexpr const char* kDbfModuleName = "dbf_table";

class TStatementBudget;
class TSortKeyCache;

// Registers the module with the database (once per database). With keys (the locale
// collation's, sql/collation.h) a full scan orders its rows itself when an ORDER BY names
// only text columns (sql/text_order.h), checking budget while it reads; both outlive db.
void RegisterDbfModule(sqlite3* db, const TStatementBudget* budget = nullptr,
                       TSortKeyCache* keys = nullptr);

// How many bytes of records a scan that orders its rows keeps in memory (32 MiB); past that
// it reads each record again as it returns it. For tests of the second way.
void SetSortedScanMemory(size_t bytes);

// For tests of the general ways against the shortcuts (defaults 2, 2048, true): the threads
// of a scan that keeps its ordered rows (2: a second one decodes the rows ahead of the one
// that returns them; 1: none), the fewest rows worth the second thread, and whether text
// columns are read in place instead of through the field's codec.
void SetScanShortcuts(int threads, size_t prefetch_from_rows, bool plain_text);

// The CREATE VIRTUAL TABLE statement for table `name` over the file at path.
std::string CreateDbfTableSql(std::string_view name, std::string_view path);

// Why the file at path cannot be a table (its header does not read), or "" when it can.
std::string CheckDbfTable(const std::string& path);

// The declared type of a field's column (table above).
std::string DeclaredColumnType(const dbf::TDbfFieldDef& def);

}  // namespace lgoty::sql
