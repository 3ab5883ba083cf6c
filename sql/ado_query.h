// TAdoQuery: a dataset whose rows are the result of an SQL query on a TAdoConnection. It is
// a TDataSet (data/dataset.h), so grids, the report's data-set adapter and tests use it like
// any other dataset.
//
// Opening runs the SQL text (the lines of SQL(), joined) with its parameters bound
// (sql/parameters.h) under a time budget of CommandTimeout seconds (0 = none), and reads the
// whole result into memory: a static, read-only row set, as a client-side cursor gives it.
// The rows do not change until the query is opened again. Every lock type gives read-only
// rows: the engine cannot write the folder's tables.
//
// Field definitions come from the result's columns:
//   - a column that is a table column has its declared type (sql/dbf_vtable.h): VARCHAR(n)
//     string of n characters, SMALLINT/INTEGER/BIGINT integers, FLOAT(n,d) float with d
//     decimals, CURRENCY currency, DATE date, DATETIME date-time, BOOLEAN boolean,
//     LONGTEXT memo, BLOB blob;
//   - any other column (an expression) takes its type from its values: integers only gives
//     a large integer, numbers a float, text a string as long as its longest value (a memo
//     past 255 characters), bytes a blob, nothing but NULL a string.
// Column names repeat what SQLite reports; a name used twice gets "_1", "_2", ... and an
// empty one "Expr1000", "Expr1001", ...
//
// Bookmarks are row numbers; RecNo and RecordCount are exact.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/string_list.h"
#include "core/variant.h"
#include "data/dataset.h"
#include "sql/parameters.h"
#include "sql/query_cells.h"

namespace lgoty::sql {

class TAdoConnection;
class TSqlEngine;

enum class TADOLockType : uint8_t {
  ltUnspecified, ltReadOnly, ltPessimistic, ltOptimistic, ltBatchOptimistic
};

inline constexpr int kDefaultCommandTimeout = 30;

class TAdoQuery : public data::TDataSet {
 public:
  TAdoQuery();
  ~TAdoQuery() override;
  const char* ClassName() const override { return "TADOQuery"; }

  // Borrowed; the connection clears it when it goes away.
  TAdoConnection* Connection() const { return connection_; }
  void SetConnection(TAdoConnection* connection);

  // The SQL text. A change closes an open query and rebuilds Parameters from the markers.
  core::TStringList& SQL() { return sql_; }
  const core::TStringList& SQL() const { return sql_; }
  TParameters& Parameters() { return parameters_; }
  const TParameters& Parameters() const { return parameters_; }
  // Whether a change of SQL rebuilds Parameters (default true).
  bool ParamCheck() const { return param_check_; }
  void SetParamCheck(bool value) { param_check_ = value; }

  int CommandTimeout() const { return command_timeout_; }
  void SetCommandTimeout(int seconds) { command_timeout_ = seconds < 0 ? 0 : seconds; }
  TADOLockType LockType() const { return lock_type_; }
  void SetLockType(TADOLockType type) { lock_type_ = type; }

  // Runs the text without opening a row set; returns the rows affected (always 0: nothing
  // can be written).
  int ExecSQL();

 protected:
  struct Row : data::TRecordBuffer {
    int64_t index = -1;  // row number, 0-based; -1 for no row
  };

  void InternalInitFieldDefs() override;
  void InternalOpen() override;
  void InternalClose() override;
  std::unique_ptr<data::TRecordBuffer> AllocRecordBuffer() override;
  void InternalInitRecord(data::TRecordBuffer& buffer) override;
  void InternalFirst() override;
  void InternalLast() override;
  data::TGetResult InternalGetRecord(data::TRecordBuffer& buffer, data::TGetMode mode) override;
  void InternalSetToRecord(const data::TRecordBuffer& buffer) override;
  data::TBookmark GetBookmarkData(const data::TRecordBuffer& buffer) const override;
  void InternalGotoBookmark(const data::TBookmark& bookmark) override;
  int CompareBookmarkData(const data::TBookmark& a, const data::TBookmark& b) const override;
  bool GetFieldData(const data::TRecordBuffer& buffer, const data::TField& field,
                    core::Variant& out) const override;
  void SetFieldData(data::TRecordBuffer& buffer, const data::TField& field,
                    const core::Variant& value) override;
  void InternalPost() override;
  void InternalDelete() override;
  int GetRecordCount() override;
  // The query's texts are the program's own (UTF-8 from the connection): Translate is the
  // base's pass-through, and field reads skip it.
  bool KeepsTextUnchanged() const override { return true; }
  int GetRecNo(const data::TRecordBuffer& buffer) const override;
  bool InternalSetRecNo(int rec_no) override;
  bool CanModify() const override { return false; }

 private:
  friend class TAdoConnection;

  struct ColumnDef {
    std::string name;
    data::TFieldType type = data::TFieldType::ftString;
    int size = 0;
    int precision = 0;
  };
  // The rows one after another, columns.size() cells each (sql/query_cells.h).
  struct Result {
    std::vector<ColumnDef> columns;
    TQueryCells cells;
    int64_t row_count = 0;
  };

  TSqlEngine& ConnectedEngine();
  // Runs the text to its end (expression columns take their types from their values).
  Result Run();
  void FillFieldDefs(const std::vector<ColumnDef>& columns);
  void SqlChanged();

  TAdoConnection* connection_ = nullptr;
  core::TStringList sql_;
  TParameters parameters_;
  bool param_check_ = true;
  int command_timeout_ = kDefaultCommandTimeout;
  TADOLockType lock_type_ = TADOLockType::ltOptimistic;
  // The definitions were filled while closed (InternalInitFieldDefs): a new text outdates them.
  bool defs_from_closed_ = false;
  bool filling_defs_ = false;

  TQueryCells cells_;  // row after row, column_count_ cells each
  size_t column_count_ = 0;
  int64_t row_count_ = 0;
  int64_t cursor_ = -1;  // -1: before the first row; row_count_: after the last
};

}  // namespace lgoty::sql
