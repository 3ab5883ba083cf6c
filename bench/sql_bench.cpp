// The list report's query on a big register: "select * from '<name>' WHERE SUMPAY>0 ORDER BY
// FAMIL, IMJA, OTCH " through the folder's virtual table (records read and decoded by the
// dbf engine), against SQLite running the same query on the same rows imported into a native
// table with the same locale collation on its text columns. Every value of every row is
// read on both sides. The import is not timed; the query dataset's open (which also keeps
// every row as variants) is timed on its own.
//
//   bench_sql [--rows N] [--runs R] [--open-only]
//
// --open-only times the query dataset's open alone (R times, for profiles of it).
// The register is made once by gen_register (next to this program) as
// bench-data/sqlbench/register_<N>.dbf in the current folder. Each side runs R times
// (default 3); the best time of each is reported with the ratio.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sql/ado_connection.h"
#include "sql/ado_query.h"
#include "sql/collation.h"
#include "sql/sql_engine.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace sql = lgoty::sql;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Reads every value of the row (what a report does with every field of every row).
size_t Consume(sqlite3_stmt* stmt) {
  size_t bytes = 0;
  const int columns = sqlite3_column_count(stmt);
  for (int c = 0; c < columns; ++c) {
    switch (sqlite3_column_type(stmt, c)) {
      case SQLITE_TEXT:
        sqlite3_column_text(stmt, c);
        bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, c));
        break;
      case SQLITE_NULL:
        break;
      default:
        bytes += static_cast<size_t>(sqlite3_column_double(stmt, c) != 0);
        break;
    }
  }
  return bytes;
}

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    throw std::runtime_error(sqlite3_errmsg(db));
  }
}

struct RunResult {
  double seconds = 0;
  size_t rows = 0;
  size_t bytes = 0;
};

RunResult RunEngine(sql::TSqlEngine& engine, const std::string& query) {
  const auto start = Clock::now();
  std::unique_ptr<sql::TSqlStatement> statement = engine.Prepare(query);
  RunResult result;
  while (statement->Step()) {
    ++result.rows;
    for (int c = 0; c < statement->ColumnCount(); ++c) {
      if (statement->ColumnType(c) == SQLITE_TEXT) result.bytes += statement->ColumnText(c).size();
      else if (statement->ColumnType(c) != SQLITE_NULL) result.bytes += statement->ColumnDouble(c) != 0;
    }
  }
  result.seconds = Seconds(start);
  return result;
}

RunResult RunNative(sqlite3* db, const std::string& query) {
  const auto start = Clock::now();
  sqlite3_stmt* stmt = nullptr;
  Check(db, sqlite3_prepare_v2(db, query.c_str(), -1, &stmt, nullptr));
  RunResult result;
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    ++result.rows;
    result.bytes += Consume(stmt);
  }
  Check(db, rc);
  sqlite3_finalize(stmt);
  result.seconds = Seconds(start);
  return result;
}

// A native in-memory table with the register's columns and the same collation, filled with
// every live row read through the engine.
sqlite3* ImportNative(sql::TSqlEngine& engine, const std::string& table) {
  sqlite3* db = nullptr;
  if (sqlite3_open(":memory:", &db) != SQLITE_OK) throw std::runtime_error("sqlite3_open");
  static sql::TStatementBudget no_budget;
  sql::RegisterLocaleFunctions(db, &no_budget);
  std::unique_ptr<sql::TSqlStatement> source = engine.Prepare("select * from '" + table + "'");
  std::string create = "CREATE TABLE \"" + table + "\" (";
  std::string insert = "INSERT INTO \"" + table + "\" VALUES (";
  for (int c = 0; c < source->ColumnCount(); ++c) {
    const std::string decl = source->ColumnDeclType(c);
    const bool text = decl.rfind("VARCHAR", 0) == 0;
    create += (c ? ", " : "") + source->ColumnName(c) + " " + decl +
              (text ? std::string(" COLLATE ") + sql::kLocaleCollation : "");
    insert += c ? ", ?" : "?";
  }
  Check(db, sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr));
  Check(db, sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr));
  sqlite3_stmt* stmt = nullptr;
  Check(db, sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &stmt, nullptr));
  while (source->Step()) {
    for (int c = 0; c < source->ColumnCount(); ++c) {
      switch (source->ColumnType(c)) {
        case SQLITE_INTEGER: sqlite3_bind_int64(stmt, c + 1, source->ColumnInt64(c)); break;
        case SQLITE_FLOAT: sqlite3_bind_double(stmt, c + 1, source->ColumnDouble(c)); break;
        case SQLITE_TEXT: {
          std::string_view t = source->ColumnText(c);
          sqlite3_bind_text64(stmt, c + 1, t.data(), t.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
          break;
        }
        default: sqlite3_bind_null(stmt, c + 1); break;
      }
    }
    Check(db, sqlite3_step(stmt));
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  Check(db, sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr));
  return db;
}

// The query through the virtual table against the same query on the native table, each
// run `runs` times; prints the best of each and their ratio.
void CompareWithNative(const std::string& folder, const std::string& table,
                       const std::string& query, long rows, int runs) {
  sql::TSqlEngine engine(folder);
  sqlite3* native = ImportNative(engine, table);

  RunResult best_engine, best_native;
  best_engine.seconds = best_native.seconds = 1e300;
  for (int r = 0; r < runs; ++r) {
    RunResult e = RunEngine(engine, query);
    if (e.seconds < best_engine.seconds) best_engine = e;
    RunResult n = RunNative(native, query);
    if (n.seconds < best_native.seconds) best_native = n;
  }
  if (best_engine.rows != best_native.rows || best_engine.bytes != best_native.bytes) {
    throw std::runtime_error("the two sides returned different rows");
  }
  sqlite3_close(native);
  std::printf("rows returned: %zu of %ld\n", best_engine.rows, rows);
  std::printf("dbf virtual table : %8.3f s (best of %d)\n", best_engine.seconds, runs);
  std::printf("native SQLite     : %8.3f s (best of %d)\n", best_native.seconds, runs);
  std::printf("ratio             : %8.2f x\n", best_engine.seconds / best_native.seconds);
}

}  // namespace

int main(int argc, char** argv) {
  long rows = 1'000'000;
  int runs = 3;
  bool open_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) rows = std::atol(argv[++i]);
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (a == "--open-only") open_only = true;
    else {
      std::fprintf(stderr, "usage: bench_sql [--rows N] [--runs R] [--open-only]\n");
      return 2;
    }
  }
  try {
    const std::string folder = "bench-data/sqlbench/";
    const std::string table = "register_" + std::to_string(rows);
    const std::string path = folder + table + ".dbf";
    std::filesystem::create_directories(folder);
    if (!std::filesystem::exists(path)) {
      const std::string command =
          (std::filesystem::path(argv[0]).parent_path() / "gen_register").string() +
          " --rows " + std::to_string(rows) + " --seed 1 --kind med " + path;
      if (std::system(command.c_str()) != 0) throw std::runtime_error("gen_register failed");
    }
    const std::string query =
        "select * from '" + table + "' WHERE SUMPAY>0 ORDER BY FAMIL, IMJA, OTCH ";

    std::printf("query: %s\n", query.c_str());
    if (!open_only) CompareWithNative(folder, table, query, rows, runs);

    // The query dataset on top: the same query opened as the report opens it.
    sql::TAdoConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder +
                                   "\";Extended Properties=dBASE IV;");
    // Each run opens a query of its own and keeps it open: every open fills fresh memory,
    // as the report's one open does, instead of reusing what the last one freed.
    std::vector<std::unique_ptr<sql::TAdoQuery>> datasets;
    double open_seconds = 1e300;
    int kept = 0;
    for (int r = 0; r < runs; ++r) {
      auto& dataset = *datasets.emplace_back(std::make_unique<sql::TAdoQuery>());
      dataset.SetConnection(&connection);
      dataset.SetCommandTimeout(0);
      dataset.SQL().Add(query);
      const auto start = Clock::now();
      dataset.Open();
      open_seconds = std::min(open_seconds, Seconds(start));
      kept = dataset.RecordCount();
    }
    std::printf("TAdoQuery.Open    : %8.3f s (best of %d, %d rows kept)\n", open_seconds, runs,
                kept);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_sql: %s\n", e.what());
    return 1;
  }
  return 0;
}
