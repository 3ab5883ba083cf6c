// Index build and seek on a register: tag FAMIL (key FAMIL) built from scratch by the table
// engine, against SQLite building an index on the same surnames already loaded into an
// SQLite table in the same run; then a partial-key seek for 1 000 random surname prefixes.
//
//   bench_index [--rows N] [--runs R]
//
// The register is made once by gen_register (next to this program) as
// bench-data/register_<N>.dbf; every build works on a fresh copy of it. Each build runs R
// times (default 3) and the best time is reported with the ratio engine / SQLite.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_register.h"
#include "dbf/dbf_file.h"
#include "dbf/index_file.h"

namespace {

namespace dbf = lgoty::dbf;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::unique_ptr<dbf::TDbfFile> OpenTable(const std::string& path, dbf::TFileAccessMode mode) {
  auto table = std::make_unique<dbf::TDbfFile>();
  table->SetFileName(path);
  table->SetMode(mode);
  table->Open();
  return table;
}

// The surname keys as the tag holds them: FAMIL's 25 bytes of every record.
std::vector<std::string> Surnames(const std::string& path) {
  auto table = OpenTable(path, dbf::TFileAccessMode::amReadOnly);
  const dbf::TDbfFieldDef& famil = *table->FieldDefs().Find("FAMIL");
  std::vector<std::byte> record(table->RecordSize());
  std::vector<std::string> out;
  const uint32_t count = table->RecordCount();
  out.reserve(count);
  for (uint32_t n = 1; n <= count; ++n) {
    if (table->ReadRecord(n, record) < record.size()) break;
    out.emplace_back(reinterpret_cast<const char*>(record.data() + famil.Offset()),
                     static_cast<size_t>(famil.Size()));
  }
  return out;
}

double EngineBuild(const std::string& source, const std::string& work) {
  std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::remove(std::filesystem::path(work).replace_extension(".mdx"));
  auto table = OpenTable(work, dbf::TFileAccessMode::amExclusiveExisting);
  const auto start = Clock::now();
  dbf::TIndexFile* index = dbf::ProductionIndexOf(*table, true);
  index->CreateTag("FAMIL", "FAMIL", {});
  table->Close();
  return Seconds(start);
}

void Exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string text = error ? error : "?";
    sqlite3_free(error);
    throw std::runtime_error("sqlite: " + text);
  }
}

}  // namespace

int main(int argc, char** argv) {
  lgoty::bench::RegisterBenchOptions options;
  if (!lgoty::bench::ParseRegisterBenchOptions(argc, argv, "bench_index", options)) return 2;
  const unsigned long rows = options.rows;
  const int runs = options.runs;
  try {
    const std::string path = lgoty::bench::EnsureBenchRegister(argv[0], rows);
    const std::string work = "bench-data/index_work.dbf";

    // SQLite: the same surnames loaded into a table (not timed), then the index build timed.
    const std::vector<std::string> surnames = Surnames(path);
    const std::string db_path = "bench-data/index_bench.sqlite";
    std::filesystem::remove(db_path);
    sqlite3* db = nullptr;
    if (sqlite3_open(db_path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("sqlite open");
    Exec(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;");
    Exec(db, "CREATE TABLE register(famil TEXT)");
    Exec(db, "BEGIN");
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO register VALUES (?)", -1, &insert, nullptr);
    for (const std::string& s : surnames) {
      sqlite3_bind_text(insert, 1, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Exec(db, "COMMIT");

    double engine_best = 1e30, sqlite_best = 1e30;
    for (int r = 0; r < runs; ++r) {
      engine_best = std::min(engine_best, EngineBuild(path, work));
      Exec(db, "DROP INDEX IF EXISTS register_famil");
      const auto start = Clock::now();
      Exec(db, "CREATE INDEX register_famil ON register(famil)");
      sqlite_best = std::min(sqlite_best, Seconds(start));
    }
    sqlite3_close(db);
    std::filesystem::remove(db_path);

    std::printf("register: %s (%zu records)\n", path.c_str(), surnames.size());
    std::printf("tag FAMIL build (extract, sort, write pages): %8.1f ms\n", engine_best * 1e3);
    std::printf("SQLite CREATE INDEX on the loaded surnames:   %8.1f ms\n", sqlite_best * 1e3);
    std::printf("ratio engine / SQLite: %.2f\n", engine_best / sqlite_best);

    // Partial-key seeks: prefixes of 1 to 6 bytes of random surnames.
    std::mt19937 rng(42);
    std::vector<std::vector<std::byte>> prefixes;
    for (int i = 0; i < 1000; ++i) {
      const std::string& s = surnames[rng() % surnames.size()];
      const size_t n = 1 + rng() % 6;
      std::vector<std::byte> p(n);
      std::memcpy(p.data(), s.data(), n);
      prefixes.push_back(std::move(p));
    }
    auto table = OpenTable(work, dbf::TFileAccessMode::amExclusiveExisting);
    dbf::TIndexFile* index = dbf::ProductionIndexOf(*table, false);
    if (!index || !index->SelectTag("FAMIL")) throw std::runtime_error("no tag FAMIL");
    for (int pass = 0; pass < 2; ++pass) {
      size_t found = 0;
      const auto start = Clock::now();
      for (const auto& p : prefixes) found += index->Search(p, true) ? 1 : 0;
      const double s = Seconds(start);
      std::printf("partial-key seek, %s: %6.2f us per seek (%zu of 1000 found)\n",
                  pass == 0 ? "pages read from the file" : "pages cached        ",
                  s * 1e6 / 1000.0, found);
    }
    table->Close();
    std::filesystem::remove(work);
    std::filesystem::remove(std::filesystem::path(work).replace_extension(".mdx"));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_index: %s\n", e.what());
    return 1;
  }
  return 0;
}
