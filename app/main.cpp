// lgoty [/f] [REGISTER.dbf]: the register of beneficiaries.
#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/window_style.h"
#include "core/format_settings.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const lgoty::app::TCommandLine command_line = lgoty::app::ParseCommandLine(args);
  if (command_line.show_help) {
    std::fputs(lgoty::app::kUsage, stdout);
    return 0;
  }
  if (command_line.list_report) {
    std::fprintf(stderr, "lgoty: unknown option: --list-report\n%s", lgoty::app::kUsage);
    return 2;
  }
  if (!command_line.error.empty()) {
    std::fprintf(stderr, "lgoty: %s\n%s", command_line.error.c_str(), lgoty::app::kUsage);
    return 2;
  }

  QApplication application(argc, argv);
  lgoty::app::InstallFontSubstitutes();
  lgoty::app::InstallRussianTranslations();

  lgoty::app::TFMain main_window(lgoty::core::FormatSettings::FromLocale());
  main_window.SetStartArgument(command_line.start_argument);
  main_window.show();
  if (!command_line.register_path.empty())
    main_window.State().OpenRegister(command_line.register_path);
  return application.exec();
}
