#include "ui/form_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

#include "platform/system.h"

namespace lgoty::ui {
namespace {

constexpr int kStateNormal = 0;
constexpr int kStateMaximized = 2;

}  // namespace

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
    const QRect wanted(left, top, width, height);
    bool visible = QGuiApplication::screens().isEmpty();
    for (const QScreen* screen : QGuiApplication::screens())
      visible = visible || screen->availableGeometry().intersects(wanted);
    if (visible) {
      form_->move(left, top);
      form_->resize(width, height);
    }
  }
  if (state == kStateMaximized) form_->setWindowState(form_->windowState() | Qt::WindowMaximized);
}

void TFormPlacement::Save() const {
  QSettings ini(IniFileName(), QSettings::IniFormat);
  ini.beginGroup(section_);
  const bool maximized = form_->isMaximized();
  const QRect normal = maximized ? form_->normalGeometry() : form_->geometry();
  const QPoint origin = maximized ? normal.topLeft() : form_->pos();
  ini.setValue(QStringLiteral("Left"), origin.x());
  ini.setValue(QStringLiteral("Top"), origin.y());
  ini.setValue(QStringLiteral("Width"), normal.width());
  ini.setValue(QStringLiteral("Height"), normal.height());
  ini.setValue(QStringLiteral("State"), maximized ? kStateMaximized : kStateNormal);
  ini.endGroup();
  ini.sync();
}

}  // namespace lgoty::ui
