// TSqlEngine: the database behind a connection. An in-memory SQLite database in which every
// table file (*.dbf, any letter case) of one folder is a read-only virtual table named by
// the file's base name (sql/dbf_vtable.h); its text columns use the locale's collation and
// UPPER/LOWER/LIKE are the locale-aware ones (sql/collation.h).
//
// What a statement may do. Only one statement per text (a second one after ";" is refused),
// and only reading: an authorizer refuses every write (INSERT, UPDATE, DELETE, CREATE, DROP,
// ALTER, REINDEX, ANALYZE), ATTACH and DETACH, PRAGMA, and transactions, each with a text
// naming what was refused; a statement SQLite still counts as writing is refused too. The
// folder's files are never written: the tables are opened read-only.
//
// The folder is looked at again before every statement: a table file that appeared since the
// last statement becomes a table, one that disappeared is dropped.
//
// Each statement runs under a time budget (sql/statement_budget.h).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "sql/statement_budget.h"

struct sqlite3;
struct sqlite3_stmt;

namespace lgoty::sql {

// A statement that cannot be prepared or run; the text is SQLite's or ours.
class ESqlError : public core::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EOleException"; }
};

class TSqlEngine;

// A prepared statement. Lives no longer than its engine.
class TSqlStatement {
 public:
  TSqlStatement(TSqlEngine& engine, sqlite3_stmt* stmt) : engine_(engine), stmt_(stmt) {}
  TSqlStatement(const TSqlStatement&) = delete;
  TSqlStatement& operator=(const TSqlStatement&) = delete;
  ~TSqlStatement();

  // ---- parameters (1-based, as "?NNN" numbers them) -----------------------------------------
  int ParameterCount() const;
  void BindNull(int index);
  void BindInt64(int index, int64_t value);
  void BindDouble(int index, double value);
  void BindText(int index, std::string_view utf8);
  void BindBlob(int index, std::string_view bytes);

  // ---- running -----------------------------------------------------------------------------
  // Starts the budget of `seconds` (0 = none) for the steps that follow.
  void StartBudget(double seconds);
  // True with a row, false at the end. Throws ESqlError for a failure or a spent budget.
  bool Step();
  // Whether the statement's budget is spent (checked by callers between their own steps).
  bool BudgetExpired() const;
  std::string BudgetExceededText() const;

  // ---- the current row ---------------------------------------------------------------------
  int ColumnCount() const;
  std::string ColumnName(int column) const;
  // The declared type of a column that names a table column ("" for an expression).
  std::string ColumnDeclType(int column) const;
  // SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL.
  int ColumnType(int column) const;
  int64_t ColumnInt64(int column) const;
  double ColumnDouble(int column) const;
  // Valid until the next Step or column call on this column.
  std::string_view ColumnText(int column) const;
  std::string_view ColumnBlob(int column) const;

  // A column's value as it is stored, read in one go: its storage class (SQLITE_INTEGER,
  // SQLITE_FLOAT, SQLITE_TEXT, SQLITE_BLOB or SQLITE_NULL) and the member of that class; text
  // and blob bytes are valid until the next Step. What ColumnType and ColumnInt64,
  // ColumnDouble, ColumnText or ColumnBlob would give, without their conversions.
  struct TStoredValue {
    int type = 0;
    int64_t integer = 0;
    double real = 0;
    std::string_view bytes;
  };
  TStoredValue ColumnStored(int column) const;

 private:
  void CheckBind(int rc);

  TSqlEngine& engine_;
  sqlite3_stmt* stmt_;
};

class TSqlEngine {
 public:
  // Opens the database over folder (which must exist). Throws ESqlError.
  explicit TSqlEngine(std::string folder);
  TSqlEngine(const TSqlEngine&) = delete;
  TSqlEngine& operator=(const TSqlEngine&) = delete;
  ~TSqlEngine();

  const std::string& Folder() const { return folder_; }

  // Prepares one read-only statement (rules above). Throws ESqlError.
  std::unique_ptr<TSqlStatement> Prepare(std::string_view sql);
  // Prepares and runs a statement to its end, returning nothing (for ExecSQL).
  void Execute(std::string_view sql, double budget_seconds);

  // The table names of the folder (base names of its table files), sorted.
  std::vector<std::string> TableNames();

  sqlite3* Handle() { return db_; }
  TStatementBudget& Budget() { return budget_; }

 private:
  friend class TSqlStatement;
  static int Authorize(void* self, int action, const char* a, const char* b, const char* db,
                       const char* trigger);
  static int Progress(void* self);
  // Makes the tables match the folder's table files.
  void SyncTables();
  void ExecInternal(const std::string& sql);

  std::string folder_;
  sqlite3* db_ = nullptr;
  TStatementBudget budget_;
  bool setup_ = false;       // our own statements pass the authorizer
  std::string refusal_;      // why the authorizer refused the statement being prepared
  std::map<std::string, std::string> tables_;  // table name (as created) -> file path
  // Table files the module could not read: lower-case name -> why.
  std::map<std::string, std::string> unreadable_;
};

}  // namespace lgoty::sql
