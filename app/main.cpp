// lgoty [/f] [REGISTER.dbf]: the register of beneficiaries.
#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/list_report_batch.h"
#include "app/main_window.h"
#include "app/window_style.h"
#include "core/format_settings.h"
#include "render/text_measurer.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const lgoty::app::TCommandLine command_line = lgoty::app::ParseCommandLine(args);
  if (command_line.show_help) {
    std::fputs(lgoty::app::kUsage, stdout);
    return 0;
  }
  if (!command_line.error.empty()) {
    std::fprintf(stderr, "lgoty: %s\n%s", command_line.error.c_str(), lgoty::app::kUsage);
    return 2;
  }
  if (command_line.list_report) {
    // No windows: fonts and the PDF writer need only the GUI layer, on any display or none.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    lgoty::app::InstallFontSubstitutes();
    lgoty::render::InstallTextMeasurer();
    return lgoty::app::RunListReportBatch(command_line.register_path, command_line.pdf_path,
                                          command_line.all_rows);
  }

  QApplication application(argc, argv);
  lgoty::app::InstallFontSubstitutes();
  lgoty::render::InstallTextMeasurer();
  lgoty::app::InstallRussianTranslations();

  lgoty::app::TFMain main_window(lgoty::core::FormatSettings::FromLocale());
  main_window.SetStartArgument(command_line.start_argument);
  main_window.show();
  if (!command_line.register_path.empty())
    main_window.State().OpenRegister(command_line.register_path);
  return application.exec();
}
