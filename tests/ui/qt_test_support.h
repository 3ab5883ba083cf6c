// Shared by the Qt tests: one offscreen application per test program, typing that works
// for any text, and a guard that closes modal windows a test opened.
#pragma once

#include <memory>
#include <QApplication>
#include <QKeyEvent>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace lgoty::testing {

// The application, created on first use with the offscreen platform and test-mode paths
// (the placement keeper then writes under ~/.qttest, not the user's configuration). Each
// test program gets a home folder of its own: ctest runs several at once, and tests that
// remove or rewrite the placement file would otherwise do it under each other's feet.
inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "qt_tests";
  static char* argv[] = {name, nullptr};
  static QTemporaryDir home;
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (home.isValid()) qputenv("HOME", QFile::encodeName(home.path()));
    QStandardPaths::setTestModeEnabled(true);
    return new QApplication(argc, argv);
  }();
  return *app;
}

// The first visible window that `pick` accepts; nullptr when none.
inline QWidget* VisibleTopLevel(const std::function<bool(QWidget*)>& pick) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && pick(w)) return w;
  return nullptr;
}

// Sends one key press and release per character (QTest::keyClicks refuses non-Latin-1 text).
inline void TypeText(QWidget* widget, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(widget, &release);
  }
}

// Runs `inside` once a modal window is up, then closes whatever modal window is still
// open, so that a failing test never hangs in exec().
inline void WhenModal(std::function<void(QWidget* modal)> inside) {
  // The function holds itself only weakly (a strong self-reference would never be freed);
  // the pending timer holds it strongly until it runs.
  auto attempt = std::make_shared<std::function<void(int)>>();
  std::weak_ptr<std::function<void(int)>> self = attempt;
  *attempt = [inside, self](int tries) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal && tries < 200) {
      if (auto again = self.lock())
        QTimer::singleShot(10, [again, tries] { (*again)(tries + 1); });
      return;
    }
    if (modal) inside(modal);
    // Whatever the test did, no modal window stays open.
    for (int i = 0; i < 5; ++i) {
      QWidget* still = QApplication::activeModalWidget();
      if (!still) break;
      still->close();
    }
  };
  QTimer::singleShot(0, [attempt] { (*attempt)(0); });
}

}  // namespace lgoty::testing
