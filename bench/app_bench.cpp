// The register program on a million rows, through its real windows (offscreen):
//   open   - the Open command until the grid has painted its first rows (stamp, open,
//            building the surname tag, first screen)
//   search - one keystroke in the search box until the grid has painted the found row
// Each is printed with a reference measured in the same run on the same file: for the
// open, reading the whole file with read(); for the search, a binary search over the
// surnames already sorted in memory (the least any search can cost).
//
//   bench_app [REGISTER.dbf]   (default: build/demo/bench_1m.dbf, made by gen_register)
#include <QApplication>
#include <QKeyEvent>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/folding.h"
#include "app/main_window.h"
#include "app/window_style.h"
#include "core/format_settings.h"
#include "platform/system.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double ReadWholeFile(const std::string& path) {
  const auto start = Clock::now();
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return -1;
  std::vector<char> buffer(1 << 20);
  while (::read(fd, buffer.data(), buffer.size()) > 0) {
  }
  ::close(fd);
  return Ms(start);
}

void TypeChar(QWidget* widget, QChar c) {
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
  QApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
  QApplication::sendEvent(widget, &release);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  lgoty::app::InstallFontSubstitutes();

  std::string path = argc > 1 ? argv[1] : "";
  if (path.empty()) {
    const std::string folder = lgoty::platform::ProgramFolder() + "../demo/";
    path = folder + "bench_1m.dbf";
    if (::access(path.c_str(), F_OK) != 0) {
      const std::string make = "mkdir -p '" + folder + "' && '" +
                               lgoty::platform::ProgramFolder() +
                               "gen_register' --rows 1000000 --seed 3 --kind med --upper '" + path + "'";
      std::printf("generating %s\n", path.c_str());
      if (std::system(make.c_str()) != 0) return 1;
    }
  }

  lgoty::app::TFMain window(lgoty::core::FormatSettings::Russian());
  window.show();
  QApplication::processEvents();
  auto& grid = *window.DBGrid1;

  const double read_ms = ReadWholeFile(path);
  const auto open_start = Clock::now();
  window.State().OpenRegister(path);
  grid.grab();  // paint the first screen
  const double open_ms = Ms(open_start);
  if (!window.State().Table1().Active() || grid.GridModel()->rowCount() == 0) {
    std::printf("the register did not open\n");
    return 1;
  }

  // Surnames in memory, sorted, for the reference search.
  std::vector<std::string> surnames;
  {
    auto& table = window.State().Table1();
    table.DisableControls();
    auto& famil = table.FieldByName("FAMIL");
    for (table.First(); !table.Eof(); table.Next()) surnames.push_back(famil.AsString());
    table.First();
    table.EnableControls();
  }

  const QString prefixes[] = {QStringLiteral("ку"), QStringLiteral("сем"), QStringLiteral("Ёлк"),
                              QStringLiteral("ив"), QStringLiteral("жук"), QStringLiteral("тар"),
                              QStringLiteral("лебе"), QStringLiteral("фё")};
  double search_total = 0, search_worst = 0, reference_total = 0;
  int keystrokes = 0, misses = 0;
  for (const QString& prefix : prefixes) {
    window.Edit1->clear();
    for (int i = 0; i < prefix.size(); ++i) {
      const auto start = Clock::now();
      TypeChar(window.Edit1, prefix.at(i));
      grid.grab();
      const double ms = Ms(start);
      search_total += ms;
      search_worst = std::max(search_worst, ms);
      ++keystrokes;
      const std::string key = lgoty::app::UpperFold(prefix.left(i + 1).toStdString());
      const QString shown = grid.GridModel()
                                ->index(grid.GridModel()->CurrentRow(), 0)
                                .data()
                                .toString();
      if (!shown.toStdString().starts_with(key)) ++misses;

      const auto reference_start = Clock::now();
      volatile auto found = std::lower_bound(surnames.begin(), surnames.end(), key);
      (void)found;
      reference_total += Ms(reference_start);
    }
  }
  const double search_ms = search_total / keystrokes;
  const double reference_ms = reference_total / keystrokes;

  std::printf("register: %s, %zu visible records\n", path.c_str(), surnames.size());
  std::printf("open until the first rows are painted: %8.1f ms   (goal < 1000 ms)\n", open_ms);
  std::printf("  reference, read() of the whole file:  %8.1f ms   ratio %.1f\n", read_ms,
              read_ms > 0 ? open_ms / read_ms : 0.0);
  std::printf("search keystroke until the row is painted: %8.3f ms mean, %.3f ms worst over %d"
              "   (goal < 50 ms)\n",
              search_ms, search_worst, keystrokes);
  std::printf("  reference, binary search in memory:       %8.4f ms   ratio %.0f\n", reference_ms,
              reference_ms > 0 ? search_ms / reference_ms : 0.0);
  if (misses) std::printf("keystrokes that did not land on their prefix: %d\n", misses);
  return 0;
}
