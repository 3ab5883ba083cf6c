// Scan of a register: every record read through the table engine with SUMPAY decoded as a
// float and summed over the live records (what the Totals command does), against the same
// sum computed by a plain read() loop over the file that parses SUMPAY with strtod.
// Then `lgoty-dbf sum FILE SUMPAY` (the program beside this one, timed from start to exit)
// against a plain read() of the whole file that parses nothing (goal: at most 2x). The tool
// is started directly (no shell in between: the reference pays for none either), its output
// read through a pipe; its figure includes starting and ending a process, which the
// in-process reference does not pay.
//
//   bench_dbf_scan [--rows N] [--runs R] [FILE]
//
// Without FILE the register is made once by gen_register (next to this program) as
// bench-data/register_<N>.dbf in the current folder. Each scan runs R times (default 5);
// the best time of each is reported with the ratio engine / plain read.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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

// User + system time of this process or of its waited-for children.
double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The reference of the tool: the file's bytes read in 1 MiB pieces and nothing else.
ScanResult PlainRead(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  std::vector<char> chunk(1 << 20);
  ScanResult result;
  for (;;) {
    const ssize_t got = ::read(fd, chunk.data(), chunk.size());
    if (got <= 0) break;
    result.records += static_cast<uint64_t>(got);  // bytes, so the loop is not optimised away
  }
  ::close(fd);
  return result;
}

// lgoty-dbf sum FILE SUMPAY as a separate process; the printed sum is parsed back.
ScanResult ToolSum(const std::string& tool, const std::string& path) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) throw std::runtime_error("cannot make a pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
  posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);
  std::string arg0 = tool, command = "sum", file = path, field = "SUMPAY";
  char* argv[] = {arg0.data(), command.data(), file.data(), field.data(), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, tool.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_ends[1]);
  if (spawned != 0) {
    ::close(pipe_ends[0]);
    throw std::runtime_error("cannot run " + tool);
  }
  std::string out;
  char buffer[256];
  for (;;) {
    const ssize_t n = ::read(pipe_ends[0], buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  ::close(pipe_ends[0]);
  int status = 0;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    throw std::runtime_error("lgoty-dbf sum failed: " + out);
  ScanResult result;
  const size_t records = out.find("\"records\":");
  const size_t sum = out.find("\"sum\":");
  if (records == std::string::npos || sum == std::string::npos)
    throw std::runtime_error("unexpected output of lgoty-dbf sum: " + out);
  result.records = std::strtoull(out.c_str() + records + 10, nullptr, 10);
  result.sum = std::strtod(out.c_str() + sum + 6, nullptr);
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

    const std::string tool =
        (std::filesystem::path(argv[0]).parent_path() / "lgoty-dbf").string();
    ScanResult summed;
    ScanResult bytes;
    // On a machine shared with other work the elapsed time includes waiting for a core; the
    // processor time (user + system) of each side is printed beside it.
    const double tool_cpu0 = CpuSeconds(RUSAGE_CHILDREN);
    const double tool_s = BestSeconds(runs, [&] { return ToolSum(tool, path); }, summed);
    const double tool_cpu = (CpuSeconds(RUSAGE_CHILDREN) - tool_cpu0) / runs;
    const double read_cpu0 = CpuSeconds(RUSAGE_SELF);
    const double read_s = BestSeconds(runs, [&] { return PlainRead(path); }, bytes);
    const double read_cpu = (CpuSeconds(RUSAGE_SELF) - read_cpu0) / runs;
    std::printf("lgoty-dbf sum FILE SUMPAY (whole process): %8.1f ms  cpu %6.1f ms  sum %.2f\n",
                tool_s * 1e3, tool_cpu * 1e3, summed.sum);
    std::printf("plain read() of the file (%llu bytes):  %8.1f ms  cpu %6.1f ms\n",
                static_cast<unsigned long long>(bytes.records), read_s * 1e3, read_cpu * 1e3);
    std::printf("ratio sum / read: %.2f elapsed, %.2f cpu (goal <= 2)\n", tool_s / read_s,
                tool_cpu / read_cpu);
    // The tool prints the sum with 15 significant digits.
    if (summed.records != engine.records ||
        std::abs(summed.sum - engine.sum) > 1e-9 * std::abs(engine.sum)) {
      std::fprintf(stderr, "lgoty-dbf sum disagrees with the scans\n");
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
