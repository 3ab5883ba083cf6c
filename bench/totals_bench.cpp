// The Totals command on a large register, through the register's own state object (no
// windows), against the storage scan it has to beat: every record read through the data
// file, nothing decoded.
//
//   bench_totals [--rows N] [--runs R]
//
// The register is bench-data/register_N.dbf in the current folder, made once by gen_register.
// Opening builds the surname tag once; only the command is timed.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/register_state.h"
#include "bench/bench_register.h"
#include "core/format_settings.h"
#include "dbf/dbf_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// Answers nothing and remembers the last message (the totals).
class QuietPort final : public lgoty::app::TUiPort {
 public:
  std::string last_message;
  std::optional<std::string> ChooseRegisterFile() override { return std::nullopt; }
  void ShowMessage(const std::string&, const std::string& text, lgoty::app::TMessageIcon) override {
    last_message = text;
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  void ShowPersonWindow() override {}
  void SetGridAttached(bool) override {}
  void BeginBusy(const std::string&, bool) override {}
  void Progress(double) override {}
  void EndBusy() override {}
  void ShowReport(lgoty::report::TfrxReport&) override {}
};

uint64_t StorageScan(const std::string& path) {
  lgoty::dbf::TDbfFile file;
  file.SetFileName(path);
  file.SetMode(lgoty::dbf::TFileAccessMode::amReadOnly);
  file.Open();
  std::vector<std::byte> record(file.RecordSize());
  uint64_t live = 0;
  const uint32_t count = file.RecordCount();
  for (uint32_t n = 1; n <= count; ++n) {
    if (file.ReadRecord(n, record) < record.size()) break;
    live += record[0] != std::byte{'*'};
  }
  return live;
}

template <typename F>
double BestSeconds(int runs, F&& work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  lgoty::bench::RegisterBenchOptions options;
  if (!lgoty::bench::ParseRegisterBenchOptions(argc, argv, "bench_totals", options)) return 2;
  try {
    const std::string path = lgoty::bench::EnsureBenchRegister(argv[0], options.rows);
    QuietPort port;
    lgoty::app::TRegisterState state(port, "bench_totals", lgoty::core::FormatSettings::Russian());
    state.OpenRegister(path);
    if (!state.Table1().Active()) throw std::runtime_error("the register did not open: " + port.last_message);
    uint64_t live = 0;
    const double storage_s = BestSeconds(options.runs, [&] { live = StorageScan(path); });
    const double totals_s = BestSeconds(options.runs, [&] { state.N9Click(); });
    std::printf("register: %s (%llu live records)\n", path.c_str(),
                static_cast<unsigned long long>(live));
    std::printf("Totals command (N9Click):       %8.1f ms\n", totals_s * 1e3);
    std::printf("storage scan (TDbfFile records): %8.1f ms\n", storage_s * 1e3);
    std::printf("ratio totals / storage scan: %.2f\n", totals_s / storage_s);
    std::printf("message: %s\n", port.last_message.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
