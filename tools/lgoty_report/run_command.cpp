#include "tools/lgoty_report/run_command.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>

#include "render/pipelined_pdf.h"
#include "render/text_measurer.h"
#include "report/batch_dialog_host.h"
#include "report/dialog_events.h"
#include "report/bands.h"
#include "report/expressions.h"
#include "report/pages.h"
#include "report/views.h"
#include "report/prepared_pages.h"
#include "report/report.h"
#include "tools/lgoty_report/expand_data.h"
#include "tools/lgoty_report/output_files.h"

namespace lgoty::tools {

namespace {

using report::TfrxReport;

struct RunOptions {
  std::string template_path;
  std::string connection;
  std::vector<std::string> vars;
  std::vector<std::string> sets;
  std::vector<std::string> clicks;
  bool cancel = false;
  std::vector<OutputFile> outputs;
};

int Usage() {
  std::fputs(
      "usage: lgoty-report run TEMPLATE [--connection FOLDER] [--var NAME=VALUE]...\n"
      "           [--set OBJECT.PROPERTY=VALUE]... [--click BUTTON | --cancel]\n"
      "           (--pdf FILE | --png FOLDER [--dpi N] | --fp3 FILE)...\n",
      stderr);
  return 2;
}

bool ParseOptions(int argc, char** argv, RunOptions& options) {
  if (argc < 3) return false;
  options.template_path = argv[2];
  for (int i = 3; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (ParseOutputOption(argc, argv, i, true, options.outputs)) continue;
    if (arg == "--connection") {
      if (!value(options.connection)) return false;
    } else if (arg == "--var") {
      if (!value(v)) return false;
      options.vars.push_back(v);
    } else if (arg == "--set") {
      if (!value(v)) return false;
      options.sets.push_back(v);
    } else if (arg == "--click") {
      if (!value(v)) return false;
      options.clicks.push_back(v);
    } else if (arg == "--cancel") {
      options.cancel = true;
    } else {
      return false;
    }
  }
  if (options.cancel && !options.clicks.empty()) return false;
  return !options.outputs.empty();
}

// The owner page of a component: dialog pages take their assignments through the host.
bool OnDialogPage(TfrxReport& report, const std::string& object) {
  report::TfrxComponent* c = report.FindByName(object);
  return c && dynamic_cast<report::TfrxDialogPage*>(c->Page()) != nullptr;
}

}  // namespace

int RunReportCommand(int argc, char** argv) {
  RunOptions options;
  if (!ParseOptions(argc, argv, options)) return Usage();
  // Fonts need a GUI application; no display is needed.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qt_argc = 1;
  char* qt_argv[] = {argv[0], nullptr};
  QGuiApplication app(qt_argc, qt_argv);
  try {
    render::InstallTextMeasurer();
    std::unique_ptr<FolderConnection> folder;
    if (!options.connection.empty())
      folder = std::make_unique<FolderConnection>(options.connection);
    TfrxReport report;
    report.LoadFromFile(options.template_path, true);
    if (report.Errors().Count() > 0) {
      for (int i = 0; i < report.Errors().Count(); ++i) {
        std::fprintf(stderr, "%s\n", report.Errors()[i].c_str());
      }
      return 1;
    }
    report.engine_options.new_silent_mode = report::TfrxSilentMode::simSilent;
    for (const std::string& v : options.vars) {
      size_t eq = v.find('=');
      if (eq == std::string::npos || eq == 0) return Usage();
      report.Expressions().Variables().Set(v.substr(0, eq), core::Variant(v.substr(eq + 1)));
    }
    report::BatchDialogHost host;
    for (const std::string& s : options.sets) {
      report::DialogAssignment a = report::ParseDialogAssignment(s);
      if (OnDialogPage(report, a.object)) {
        host.Set(a);
      } else {
        report::TfrxComponent* target = report.FindByName(a.object);
        if (!target) throw report::EDialogError("Object not found: " + a.object);
        report::SetPropertyFromText(*target, a.object, a.property, a.value);
      }
    }
    for (const std::string& c : options.clicks) host.Click(c);
    if (options.cancel) host.CloseBox();
    report.SetDialogHost(&host);

    // The first PDF is drawn while the final pass builds the pages, under its temporary
    // name; it is written after the run as the other outputs when it cannot be kept.
    int early_index = -1;
    for (size_t i = 0; i < options.outputs.size() && early_index < 0; ++i) {
      if (options.outputs[i].kind == OutputFile::Kind::Pdf) early_index = static_cast<int>(i);
    }
    std::optional<render::PipelinedPdf> early;
    if (early_index >= 0) {
      const std::string partial = PartialPath(options.outputs[early_index].path);
      std::filesystem::remove_all(partial);  // what a killed earlier run may have left
      early.emplace(report, partial);
    }
    bool ok = report.Prepare(true);
    const bool early_written = early && early->Finish(ok);
    early.reset();
    if (!ok) {
      if (report.Errors().Count() == 0) {
        std::fputs("lgoty-report: the run was cancelled\n", stderr);
        return 3;
      }
      for (int i = 0; i < report.Errors().Count(); ++i) {
        std::fprintf(stderr, "%s\n", report.Errors()[i].c_str());
      }
      return 1;
    }
    WriteOutputs(report, options.outputs, early_written ? early_index : -1);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "lgoty-report: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace lgoty::tools
