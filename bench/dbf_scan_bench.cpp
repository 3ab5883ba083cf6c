// Scan of a register: every record read through the table engine with SUMPAY decoded as a
// float and summed over the live records (what the Totals command does), against the same
// sum computed by a plain read() loop over the file that parses SUMPAY with strtod.
//
//   bench_dbf_scan [--rows N] [--runs R] [FILE]
//
// Without FILE the register is made once by gen_register (next to this program) as
// bench-data/register_<N>.dbf in the current folder. Each scan runs R times (default 5);
// the best time of each is reported with the ratio engine / plain read.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"

namespace {

namespace dbf = lgoty::dbf;
using Clock = std::chrono::steady_clock;

struct ScanResult {
  double sum = 0;
  uint64_t records = 0;
};

ScanResult EngineScan(const std::string& path) {
  dbf::TDbfFile file;
  file.SetFileName(path);
  file.SetMode(dbf::TFileAccessMode::amExclusiveExisting);
  file.Open();
  const dbf::TDbfFieldDefs& defs = file.FieldDefs();
  const dbf::TDbfFieldDef* sumpay = defs.Find("SUMPAY");
  if (!sumpay) throw std::runtime_error("the table has no SUMPAY field");
  std::vector<std::byte> record(file.RecordSize());
  dbf::TFieldValue value;
  ScanResult result;
  const uint32_t count = file.RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (file.ReadRecord(n, record) < record.size()) break;
    if (record[0] == std::byte{'*'}) continue;
    ++result.records;
    if (dbf::GetFieldData(defs, *sumpay, lgoty::data::TFieldType::ftFloat, record, &value))
      result.sum += value.real;
  }
  file.Close();
  return result;
}

// The reference: read() in large chunks, the layout taken from the header by hand.
ScanResult PlainScan(const std::string& path, size_t sumpay_offset, size_t sumpay_size) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  unsigned char header[32];
  if (::read(fd, header, sizeof header) != static_cast<ssize_t>(sizeof header))
    throw std::runtime_error("short header");
  const size_t header_length = header[8] | (header[9] << 8);
  const size_t record_length = header[10] | (header[11] << 8);
  ::lseek(fd, static_cast<off_t>(header_length), SEEK_SET);
  const size_t per_chunk = (1 << 20) / record_length;
  std::vector<char> chunk(per_chunk * record_length);
  ScanResult result;
  char number[64];
  size_t have = 0;
  for (;;) {
    const ssize_t got = ::read(fd, chunk.data() + have, chunk.size() - have);
    if (got <= 0) break;
    have += static_cast<size_t>(got);
    size_t used = 0;
    for (; used + record_length <= have; used += record_length) {
      const char* rec = chunk.data() + used;
      if (rec[0] == '*') continue;
      ++result.records;
      std::memcpy(number, rec + sumpay_offset, sumpay_size);
      number[sumpay_size] = '\0';
      result.sum += std::strtod(number, nullptr);
    }
    std::memmove(chunk.data(), chunk.data() + used, have - used);
    have -= used;
  }
  ::close(fd);
  return result;
}

template <typename F>
double BestSeconds(int runs, F&& scan, ScanResult& result) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    result = scan();
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    best = std::min(best, elapsed.count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned long rows = 1'000'000;
  int runs = 5;
  std::string path;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) rows = std::strtoul(argv[++i], nullptr, 10);
    else if (a == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
    else if (!a.empty() && a[0] != '-') path = a;
    else {
      std::fprintf(stderr, "usage: bench_dbf_scan [--rows N] [--runs R] [FILE]\n");
      return 2;
    }
  }
  try {
    if (path.empty()) {
      std::filesystem::create_directories("bench-data");
      path = "bench-data/register_" + std::to_string(rows) + ".dbf";
      if (!std::filesystem::exists(path)) {
        const std::filesystem::path generator =
            std::filesystem::path(argv[0]).parent_path() / "gen_register";
        const std::string command = generator.string() + " --rows " + std::to_string(rows) +
                                    " --seed 1 --kind med " + path;
        std::printf("generating: %s\n", command.c_str());
        if (std::system(command.c_str()) != 0) throw std::runtime_error("gen_register failed");
      }
    }
    // Where SUMPAY lies, for the reference loop, from the engine's own reading of the header.
    size_t offset = 0;
    size_t size = 0;
    {
      dbf::TDbfFile file;
      file.SetFileName(path);
      file.SetMode(dbf::TFileAccessMode::amReadOnly);
      file.Open();
      const dbf::TDbfFieldDef* sumpay = file.FieldDefs().Find("SUMPAY");
      if (!sumpay) throw std::runtime_error("the table has no SUMPAY field");
      offset = static_cast<size_t>(sumpay->Offset());
      size = static_cast<size_t>(sumpay->Size());
    }
    ScanResult engine;
    ScanResult plain;
    PlainScan(path, offset, size);  // warm the page cache
    const double engine_s = BestSeconds(runs, [&] { return EngineScan(path); }, engine);
    const double plain_s = BestSeconds(runs, [&] { return PlainScan(path, offset, size); }, plain);
    std::printf("file: %s (%llu live records)\n", path.c_str(),
                static_cast<unsigned long long>(engine.records));
    std::printf("engine scan (TDbfFile + SUMPAY codec): %8.1f ms  sum %.2f\n", engine_s * 1e3,
                engine.sum);
    std::printf("plain read() + strtod:                 %8.1f ms  sum %.2f\n", plain_s * 1e3,
                plain.sum);
    std::printf("ratio engine / plain: %.2f\n", engine_s / plain_s);
    // Both parse each amount to the nearest double and add in the same order.
    if (engine.records != plain.records || engine.sum != plain.sum) {
      std::fprintf(stderr, "the two scans disagree\n");
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
