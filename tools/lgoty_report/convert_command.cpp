#include "tools/lgoty_report/convert_command.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <QGuiApplication>

#include "core/exception.h"
#include "core/xml_document.h"
#include "render/text_measurer.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "tools/lgoty_report/output_files.h"

namespace lgoty::tools {

namespace {

int Usage() {
  std::fputs("usage: lgoty-report convert FILE.fp3 (--pdf FILE | --png FOLDER [--dpi N])...\n",
             stderr);
  return 2;
}

// Reads the prepared report into the report's page store. A file that parses as XML but is
// no prepared report (a template given by mistake, say) would load as zero pages; it is
// refused instead of giving an empty output.
void LoadPreparedReport(report::TfrxReport& report, const std::string& path) {
  report::TfrxPreviewPages& pages = report.PreviewPages();
  pages.LoadFromFile(path, true);
  if (pages.Document().Root()->Name() != "preparedreport") {
    throw core::Exception(path + " is not a prepared report");
  }
  if (pages.Count() == 0) throw core::Exception(path + " has no pages");
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string input = argv[2];
  std::vector<OutputFile> outputs;
  for (int i = 3; i < argc; ++i) {
    if (!ParseOutputOption(argc, argv, i, false, outputs)) return Usage();
  }
  if (outputs.empty()) return Usage();
  // Fonts need a GUI application; no display is needed.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QGuiApplication app(qt_argc, qt_argv);
  try {
    render::InstallTextMeasurer();
    report::TfrxReport report;
    LoadPreparedReport(report, input);
    WriteOutputs(report, outputs);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lgoty-report: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace lgoty::tools
