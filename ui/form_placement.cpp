#include "ui/form_placement.h"

#include <QGuiApplication>
#include <algorithm>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

#include "platform/system.h"

namespace lgoty::ui {
namespace {

constexpr int kStateNormal = 0;
constexpr int kStateMaximized = 2;

// Room kept on screen for the title bar above the client area, and the least part of the
// window that must stay on screen to be grabbed.
constexpr int kTitleRoom = 32;
constexpr int kGrabbable = 64;

}  // namespace

bool TFormPlacement::FitOnScreen(QRect& rect) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.isEmpty()) return true;
  const QScreen* best = nullptr;
  int best_area = -1;
  for (const QScreen* screen : screens) {
    const QRect common = screen->availableGeometry().intersected(rect);
    const int area = common.isEmpty() ? 0 : common.width() * common.height();
    if (area > best_area) {
      best_area = area;
      best = screen;
    }
  }
  if (best_area <= 0) return false;  // on no screen any more: keep the designed place
  const QRect screen = best->availableGeometry();
  rect.moveTop(std::clamp(rect.top(), screen.top() + kTitleRoom,
                          std::max(screen.top() + kTitleRoom, screen.bottom() - kGrabbable)));
  rect.moveLeft(std::clamp(rect.left(), screen.left() - rect.width() + kGrabbable,
                           std::max(screen.left(), screen.right() - kGrabbable)));
  return true;
}

TFormPlacement::TFormPlacement(QWidget* form, QString section)
    : form_(form), section_(std::move(section)) {}

QString TFormPlacement::IniFileName() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation);
  return folder + QLatin1Char('/') + QString::fromStdString(platform::ProgramName()) +
         QStringLiteral(".INI");
}

void TFormPlacement::Restore() {
  restored_ = true;
  QSettings ini(IniFileName(), QSettings::IniFormat);
  ini.beginGroup(section_);
  bool ok_left = false, ok_top = false, ok_width = false, ok_height = false;
  const int left = ini.value(QStringLiteral("Left")).toInt(&ok_left);
  const int top = ini.value(QStringLiteral("Top")).toInt(&ok_top);
  const int width = ini.value(QStringLiteral("Width")).toInt(&ok_width);
  const int height = ini.value(QStringLiteral("Height")).toInt(&ok_height);
  const int state = ini.value(QStringLiteral("State"), kStateNormal).toInt();
  ini.endGroup();
  if (ok_left && ok_top && ok_width && ok_height && width > 0 && height > 0 && width < 20000 &&
      height < 20000) {
    QRect wanted(left, top, width, height);
    if (FitOnScreen(wanted)) form_->setGeometry(wanted);
  }
  if (state == kStateMaximized) form_->setWindowState(form_->windowState() | Qt::WindowMaximized);
}

void TFormPlacement::Save() const {
  QSettings ini(IniFileName(), QSettings::IniFormat);
  ini.beginGroup(section_);
  const bool maximized = form_->isMaximized();
  // The client rectangle both ways: the frame is not known before a window is mapped, so a
  // frame origin saved and then restored as a client origin moved the window up by its
  // title bar at every start.
  const QRect normal = maximized ? form_->normalGeometry() : form_->geometry();
  ini.setValue(QStringLiteral("Left"), normal.x());
  ini.setValue(QStringLiteral("Top"), normal.y());
  ini.setValue(QStringLiteral("Width"), normal.width());
  ini.setValue(QStringLiteral("Height"), normal.height());
  ini.setValue(QStringLiteral("State"), maximized ? kStateMaximized : kStateNormal);
  ini.endGroup();
  ini.sync();
}

}  // namespace lgoty::ui
