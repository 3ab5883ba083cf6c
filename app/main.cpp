// lgoty [/f] [REGISTER.dbf]: the register of beneficiaries.
#include <QApplication>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/main_window.h"
#include "app/window_style.h"
#include "core/format_settings.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  lgoty::app::InstallFontSubstitutes();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const lgoty::app::TCommandLine command_line = lgoty::app::ParseCommandLine(args);

  lgoty::app::TFMain main_window(lgoty::core::FormatSettings::FromLocale());
  main_window.SetStartArgument(command_line.start_argument);
  main_window.show();
  if (!command_line.register_path.empty())
    main_window.State().OpenRegister(command_line.register_path);
  return application.exec();
}
