// The table dataset (TDbf) on a register, each figure against the same work done directly on
// the storage and index layers in the same run:
//   1. the register program's Open: open exclusive, build tag FAMIL, select it, stand on the
//      first record - against opening the data file and building the tag bare;
//   2. a partial-key Locate per keystroke for 1 000 random surname prefixes - against a
//      search of the tag and a read of the record found;
//   3. a First/Next scan reading SUMPAY through the dataset - against a loop over the records
//      decoding SUMPAY with the field codec.
//
//   bench_table_dataset [--rows N] [--runs R]
//
// The register is made once by gen_register (next to this program) as
// bench-data/register_<N>.dbf; builds work on a fresh copy. Each measurement runs R times
// (default 3) and the best time is reported. The two scans are short and run turn about (at
// least 5 times each), so that a burst of other work on the machine does not fall on one side
// only; the best processor time of each is printed beside the elapsed time.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "bench/bench_register.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"
#include "dbf/index_file.h"
#include "dbf/table_dataset.h"

namespace {

namespace dbf = lgoty::dbf;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor time of this process (user + system).
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Elapsed and processor time of one run.
struct Timing {
  double elapsed = 1e30;
  double cpu = 1e30;
};

void FreshCopy(const std::string& source, const std::string& work) {
  std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::remove(std::filesystem::path(work).replace_extension(".mdx"));
}

double BareOpen(const std::string& source, const std::string& work) {
  FreshCopy(source, work);
  const auto start = Clock::now();
  dbf::TDbfFile table;
  table.SetFileName(work);
  table.SetMode(dbf::TFileAccessMode::amExclusiveExisting);
  table.Open();
  dbf::TIndexOptions options;
  options.expression = true;
  dbf::TIndexFile* index = dbf::ProductionIndexOf(table, true);
  index->CreateTag("FAMIL", "FAMIL", options);
  if (!index->First()) throw std::runtime_error("empty tag");
  const double seconds = Seconds(start);
  table.Close();
  return seconds;
}

double DatasetOpen(const std::string& source, const std::string& work) {
  FreshCopy(source, work);
  const auto start = Clock::now();
  dbf::TDbf table;
  table.SetTableName(work);
  table.SetExclusive(true);
  table.Open();
  table.BuildIndex("FAMIL", "FAMIL", dbf::TIndexOptionSet{16});
  table.SetIndexName("FAMIL");
  table.First();
  const double seconds = Seconds(start);
  table.Close();
  return seconds;
}

// Surname prefixes of 1-4 letters as typed (UTF-8), from random records.
std::vector<std::string> Prefixes(const std::string& path, size_t count) {
  dbf::TDbfFile table;
  table.SetFileName(path);
  table.SetMode(dbf::TFileAccessMode::amReadOnly);
  table.Open();
  const dbf::TDbfFieldDef& famil = *table.FieldDefs().Find("FAMIL");
  std::vector<std::byte> record(table.RecordSize());
  std::mt19937 random(7);
  std::vector<std::string> out;
  while (out.size() < count) {
    const uint32_t n = 1 + random() % table.RecordCount();
    table.ReadRecord(n, record);
    std::string bytes(reinterpret_cast<const char*>(record.data() + famil.Offset()),
                      1 + random() % 4);
    if (bytes.find(' ') != std::string::npos) continue;
    out.push_back(lgoty::core::ToUtf8(866, bytes));
  }
  return out;
}

double BareLocate(const std::string& work, const std::vector<std::string>& prefixes) {
  dbf::TDbfFile table;
  table.SetFileName(work);
  table.SetMode(dbf::TFileAccessMode::amExclusiveExisting);
  table.Open();
  dbf::TIndexFile* index = dbf::ProductionIndexOf(table, false);
  index->SelectTag("FAMIL");
  const size_t key_length = index->SelectedTag()->KeyLength();
  std::vector<std::byte> record(table.RecordSize());
  std::vector<std::byte> key(key_length);
  size_t found = 0;
  const auto start = Clock::now();
  for (const std::string& prefix : prefixes) {
    const std::string bytes = lgoty::core::FromUtf8(866, prefix);
    std::fill(key.begin(), key.end(), std::byte{' '});
    std::copy_n(reinterpret_cast<const std::byte*>(bytes.data()),
                std::min(bytes.size(), key_length), key.begin());
    if (index->Search(key, false) && table.ReadRecord(index->RecNo(), record) > 0) ++found;
  }
  const double seconds = Seconds(start);
  if (found == 0) throw std::runtime_error("no prefix found");
  return seconds / static_cast<double>(prefixes.size());
}

double DatasetLocate(const std::string& work, const std::vector<std::string>& prefixes) {
  dbf::TDbf table;
  table.SetTableName(work);
  table.SetExclusive(true);
  table.Open();
  table.SetIndexName("FAMIL");
  size_t found = 0;
  const auto start = Clock::now();
  for (const std::string& prefix : prefixes) {
    if (table.Locate("FAMIL", lgoty::core::Variant(prefix),
                     lgoty::data::TLocateOptions{false, true})) {
      ++found;
    }
  }
  const double seconds = Seconds(start);
  if (found == 0) throw std::runtime_error("no prefix found");
  return seconds / static_cast<double>(prefixes.size());
}

Timing BareScan(const std::string& path, double& sum) {
  dbf::TDbfFile table;
  table.SetFileName(path);
  table.SetMode(dbf::TFileAccessMode::amReadOnly);
  table.Open();
  const dbf::TDbfFieldDefs& defs = table.FieldDefs();
  const dbf::TDbfFieldDef& sumpay = *defs.Find("SUMPAY");
  std::vector<std::byte> record(table.RecordSize());
  sum = 0;
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  const uint32_t count = table.RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (table.ReadRecord(n, record) < record.size()) break;
    if (record[0] == std::byte{'*'}) continue;
    dbf::TFieldValue value;
    if (dbf::GetFieldData(defs, sumpay, sumpay.FieldType(), record, &value)) sum += value.real;
  }
  return {Seconds(start), CpuSeconds() - cpu};
}

Timing DatasetScan(const std::string& path, double& sum) {
  dbf::TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.Open();
  lgoty::data::TField& sumpay = table.FieldByName("SUMPAY");
  sum = 0;
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  for (table.First(); !table.Eof(); table.Next()) sum += sumpay.AsFloat();
  return {Seconds(start), CpuSeconds() - cpu};
}

template <typename F>
double Best(int runs, F f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) best = std::min(best, f());
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  lgoty::bench::RegisterBenchOptions options;
  if (!lgoty::bench::ParseRegisterBenchOptions(argc, argv, "bench_table_dataset", options)) return 2;
  const unsigned long rows = options.rows;
  const int runs = options.runs;
  try {
    const std::string path = lgoty::bench::EnsureBenchRegister(argv[0], rows);
    const std::string work = "bench-data/dataset_work.dbf";

    const double bare_open = Best(runs, [&] { return BareOpen(path, work); });
    const double dataset_open = Best(runs, [&] { return DatasetOpen(path, work); });
    std::printf("open+build+select: TDbf %.3f s, bare tag build %.3f s, ratio %.2f (goal <= 1.3)\n",
                dataset_open, bare_open, dataset_open / bare_open);

    const std::vector<std::string> prefixes = Prefixes(path, 1000);
    const double bare_locate = Best(runs, [&] { return BareLocate(work, prefixes); });
    const double dataset_locate = Best(runs, [&] { return DatasetLocate(work, prefixes); });
    std::printf("partial Locate: TDbf %.2f us, tag search + read %.2f us, ratio %.2f "
                "(goal < 50 us)\n",
                dataset_locate * 1e6, bare_locate * 1e6, dataset_locate / bare_locate);

    double bare_sum = 0, dataset_sum = 0;
    Timing bare_scan, dataset_scan;
    for (int i = 0; i < std::max(runs, 5); ++i) {
      const Timing bare = BareScan(path, bare_sum);
      const Timing dataset = DatasetScan(path, dataset_sum);
      bare_scan = {std::min(bare_scan.elapsed, bare.elapsed), std::min(bare_scan.cpu, bare.cpu)};
      dataset_scan = {std::min(dataset_scan.elapsed, dataset.elapsed),
                      std::min(dataset_scan.cpu, dataset.cpu)};
    }
    std::printf("scan reading SUMPAY: TDbf %.3f s (cpu %.3f), storage %.3f s (cpu %.3f), "
                "ratio %.2f elapsed, %.2f cpu (goal <= 1.5); sums %.2f / %.2f\n",
                dataset_scan.elapsed, dataset_scan.cpu, bare_scan.elapsed, bare_scan.cpu,
                dataset_scan.elapsed / bare_scan.elapsed, dataset_scan.cpu / bare_scan.cpu,
                dataset_sum, bare_sum);
    if (dataset_sum != bare_sum) {
      std::fprintf(stderr, "bench_table_dataset: the two scans disagree\n");
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_table_dataset: %s\n", e.what());
    return 1;
  }
}
