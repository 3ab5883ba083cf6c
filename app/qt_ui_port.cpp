#include "app/qt_ui_port.h"

#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGridLayout>
#include <QSpacerItem>
#include <QWindow>
#include <QMessageBox>

#include "app/main_window.h"
#include "ui/report_preview.h"

namespace lgoty::app {
namespace {

constexpr qint64 kProgressDelayMs = 500;
constexpr qint64 kRepaintMs = 50;

// Message texts keep the "\r\n" line breaks of their sources; the window shows "\n".
QString BoxText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A message box is only as wide as its text, which cuts a longer caption in the title bar
// ("Удал… пись"); a spacer row makes room for the whole caption.
void FitCaption(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  QFont title_font = QApplication::font("QMdiSubWindowTitleBar");
  title_font.setBold(true);
  // The caption, the icon and the three buttons of a title bar.
  const int wanted = QFontMetrics(title_font).horizontalAdvance(box.windowTitle()) + 140;
  grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

std::optional<std::string> TQtUiPort::ChooseRegisterFile() {
  const QString path = QFileDialog::getOpenFileName(&main_, QString(), QString(),
                                                    QStringLiteral("*.dbf (*.dbf)"));
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

void TQtUiPort::ShowMessage(const std::string& caption, const std::string& text,
                            TMessageIcon icon) {
  QMessageBox::Icon qt_icon = QMessageBox::NoIcon;
  if (icon == TMessageIcon::Error) qt_icon = QMessageBox::Critical;
  if (icon == TMessageIcon::Question) qt_icon = QMessageBox::Question;
  if (icon == TMessageIcon::Information) qt_icon = QMessageBox::Information;
  QMessageBox box(qt_icon, QString::fromStdString(caption), BoxText(text), QMessageBox::Ok,
                  &main_);
  FitCaption(box);
  box.exec();
}

bool TQtUiPort::AskYesNo(const std::string& caption, const std::string& text) {
  QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), BoxText(text),
                  QMessageBox::Yes | QMessageBox::No, &main_);
  box.setDefaultButton(QMessageBox::Yes);
  FitCaption(box);
  return box.exec() == QMessageBox::Yes;
}

void TQtUiPort::ShowPersonWindow() { main_.FPers()->exec(); }

void TQtUiPort::ShowReport(report::TfrxReport& report) { ui::ShowReport(report, &main_); }

void TQtUiPort::SetGridAttached(bool attached) {
  main_.DBGrid1->SetDataSource(attached ? &main_.State().DataSource1() : nullptr);
}

void TQtUiPort::BeginBusy(const std::string& what, bool long_step) {
  if (busy_depth_++ > 0) return;
  busy_text_ = QString::fromStdString(what);
  busy_timer_.start();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (long_step) ShowProgress(-1);
}

void TQtUiPort::Progress(double fraction) {
  if (busy_depth_ == 0 || busy_timer_.elapsed() < kProgressDelayMs) return;
  // Repainting costs an event-loop pass: at most one per kRepaintMs, except the last.
  if (progress_ && fraction < 1.0 && paint_timer_.isValid() &&
      paint_timer_.elapsed() < kRepaintMs)
    return;
  ShowProgress(fraction);
}

void TQtUiPort::ShowProgress(double fraction) {
  if (!progress_) {
    progress_ = new QProgressDialog(busy_text_, QString(), 0, 100, &main_);
    progress_->setWindowTitle(QString::fromStdString(main_.State().Title()));
    progress_->setCancelButton(nullptr);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
  }
  if (fraction < 0) {
    progress_->setRange(0, 0);
  } else {
    // A window opened without a known fraction turns into a bar at the first report.
    if (progress_->maximum() != 100) progress_->setRange(0, 100);
    progress_->setValue(static_cast<int>(std::min(fraction, 1.0) * 100));
  }
  const bool first_show = !progress_->isVisible();
  progress_->show();
  // Paint it now: the step that follows keeps the event loop busy. A window just shown is
  // mapped by the window system a little later, and painted before that it stays black
  // until the step ends: wait (boundedly) until it is exposed, then paint.
  QElapsedTimer mapping;
  mapping.start();
  do {
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  } while (first_show && progress_->windowHandle() && !progress_->windowHandle()->isExposed() &&
           mapping.elapsed() < map_wait_ms_);
  progress_->repaint();
  paint_timer_.start();
}

void TQtUiPort::EndBusy() {
  if (busy_depth_ == 0 || --busy_depth_ > 0) return;
  if (progress_) progress_->deleteLater();
  progress_ = nullptr;
  paint_timer_.invalidate();
  QApplication::restoreOverrideCursor();
}

}  // namespace lgoty::app
