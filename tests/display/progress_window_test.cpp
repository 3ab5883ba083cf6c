// Runs on a real X display with a window manager (started by window_manager_test.sh), where
// a window is mapped by the window manager some time after it is shown. Offscreen windows
// are exposed at once and cannot show these faults.
#include <QApplication>
#include <QImage>
#include <QProgressDialog>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/qt_ui_port.h"
#include "core/format_settings.h"

namespace lgoty::app {
namespace {

QProgressDialog* ShownProgressWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dialog = qobject_cast<QProgressDialog*>(widget);
    if (dialog && dialog->isVisible()) return dialog;
  }
  return nullptr;
}

// Share of the pixels on screen inside the window that are (nearly) black.
double DarkShare(const QWidget& window) {
  const QRect area = window.geometry();
  const QImage image =
      window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
  if (image.isNull() || image.width() == 0 || image.height() == 0) return 1.0;
  qint64 dark = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 40) ++dark;
  return static_cast<double>(dark) / (static_cast<double>(image.width()) * image.height());
}

// The step that follows a long step's start keeps the event loop busy: the progress window
// must already be on screen, painted with its text, when BeginBusy returns.
TEST(RealDisplay, ProgressWindowOfALongStepIsPaintedBeforeTheStepRuns) {
  TFMain main(core::FormatSettings::Russian());
  // As when the program starts with a register to open: the step begins right away.
  main.show();
  TQtUiPort port(main);
  // A loaded machine may take long to map the window: what is checked is that the port
  // waits for the mapping and paints, not how soon the window system maps.
  port.SetMapWaitLimit(60000);
  port.BeginBusy("Открытие таблицы...", true);
  QProgressDialog* progress = ShownProgressWindow();
  ASSERT_NE(progress, nullptr);
  ASSERT_NE(progress->windowHandle(), nullptr);
  EXPECT_TRUE(progress->windowHandle()->isExposed());
  // No events are handled from here on, as during the step itself.
  EXPECT_LT(DarkShare(*progress), 0.5);
  port.EndBusy();
}

}  // namespace
}  // namespace lgoty::app

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
