// Arbitrary bytes loaded as a report template and, when the load leaves no error, run
// through the whole preparation (script, dialogs answered by a batch host, data bands,
// stretching, page breaks) over a small folder of registers. Each run has a time budget:
// the script program gets a time limit and the run is stopped through the progress
// question once the budget is spent. Errors are expected; crashes and hangs are not.
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/code_page.h"
#include "core/stream.h"
#include "dbf/dbf_file.h"
#include "report/batch_dialog_host.h"
#include "report/expressions.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "report/report_script.h"
#include "script/interpreter.h"
#include "sql/ado_connection.h"

namespace {

namespace dbf = lgoty::dbf;
namespace report = lgoty::report;
using Clock = std::chrono::steady_clock;

constexpr auto kBudget = std::chrono::milliseconds(500);

void WriteRegister(const std::string& path) {
  dbf::TDbfFieldDefs defs(dbf::kTableLevel4);
  const struct {
    const char* name;
    char letter;
    int size, decimals;
  } fields[] = {{"FAMIL", 'C', 20, 0}, {"IMJA", 'C', 15, 0},  {"SUMPAY", 'N', 10, 2},
                {"RECEPT", 'C', 10, 0}, {"DATERCPT", 'D', 8, 0}};
  for (const auto& f : fields) {
    dbf::TDbfFieldDef& def = defs.Add();
    def.SetFieldName(f.name);
    def.SetNative(static_cast<uint8_t>(f.letter), f.size, f.decimals);
  }
  dbf::TDbfFile file;
  file.SetFileName(path);
  file.SetMode(dbf::TFileAccessMode::amExclusiveNew);
  file.Create(defs, 0x65, dbf::kDefaultMemoBlockSize);
  std::vector<std::byte> record(file.RecordSize());
  const char* names[] = {"Иванов", "Петров", "Сидорова", "", "Ёжиков"};
  for (int n = 0; n < 25; ++n) {
    file.InitRecord(record);
    auto pad = [](std::string s, size_t w) {
      s.resize(w, ' ');
      return s;
    };
    std::string row = " " + pad(lgoty::core::FromUtf8(866, names[n % 5]), 20) +
                      pad(lgoty::core::FromUtf8(866, "Анна"), 15);
    char tail[64];
    std::snprintf(tail, sizeof tail, "%10.2f%-10d%s", n * 17.25, n, n % 3 ? "20240131" : "        ");
    row += tail;
    for (size_t i = 0; i < row.size() && i < record.size(); ++i) {
      record[i] = static_cast<std::byte>(row[i]);
    }
    file.Insert(record);
  }
  file.Close();
}

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/lgoty-run-fuzz-XXXXXX";
    std::string path = mkdtemp(pattern) ? pattern : "/tmp";
    path += "/";
    WriteRegister(path + "reg.dbf");
    return path;
  }();
  return folder;
}

// Stops the run once the budget is spent.
class Budget final : public report::ReportUserInterface {
 public:
  Budget() : deadline_(Clock::now() + kBudget) {}
  void ShowErrorMessage(const std::string&, const std::string&) override {}
  bool AskPassword(std::string&) override { return false; }
  bool ProgressCancelled() override { return Clock::now() > deadline_; }

 private:
  Clock::time_point deadline_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static lgoty::sql::TAdoConnection* connection = [] {
    auto* c = new lgoty::sql::TAdoConnection();
    c->SetLoginPrompt(false);
    c->SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + Folder() +
                           "\";Extended Properties=dBASE IV;");
    c->Open();
    return c;
  }();
  static report::TfrxADOComponents ado;
  ado.SetDefaultDatabase(connection);

  report::TfrxReport rep;
  rep.engine_options.new_silent_mode = report::TfrxSilentMode::simSilent;
  lgoty::core::TMemoryStream in(std::string(reinterpret_cast<const char*>(data), size));
  rep.LoadFromStream(in);
  if (rep.Errors().Count() > 0) return 0;
  // Templates may ask for a file cache or a temporary folder: keep both harmless.
  rep.engine_options.use_file_cache = false;
  rep.engine_options.temp_dir.clear();
  Budget budget;
  rep.SetUserInterface(&budget);
  report::BatchDialogHost host;
  rep.SetDialogHost(&host);
  rep.on_after_script_compile = [&rep] {
    lgoty::script::TfsScript& program = rep.Expressions().Script().Program();
    program.SetTimeLimit(kBudget);
    program.SetMaxCallDepth(64);
    program.SetMaxStringLength(1 << 20);
  };
  try {
    rep.Prepare();
  } catch (const std::exception&) {
    // simSilent: nothing should escape, but a reporting error is not a crash.
  }
  return 0;
}
