#include "ui/pdf_export.h"

#include <QFile>
#include <QPageSize>
#include <QPdfWriter>

#include "core/exception.h"

namespace lgoty::ui {
namespace {

// Fine enough for text and hairlines, small enough that pictures stay reasonable.
constexpr int kPdfResolution = 600;

QPageSize PageSizeOf(QSize pixels) {
  return QPageSize(QSizeF(pixels.width() * 25.4 / 96, pixels.height() * 25.4 / 96),
                   QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

}  // namespace

void ExportToPdf(PreviewDocument& document, const QString& path, const std::string& title,
                 int first, int last) {
  int count = document.PageCount();
  if (last <= 0 || last > count) last = count;
  first = std::max(first, 1);
  {
    // QPdfWriter reports an unwritable file only by painting nothing; check first.
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
      throw core::Exception("Cannot create file \"" + path.toStdString() + "\"");
  }
  QPdfWriter writer(path);
  writer.setResolution(kPdfResolution);
  writer.setTitle(QString::fromStdString(title));
  writer.setCreator("lgoty");
  writer.setPageMargins(QMarginsF());
  if (first > last) {
    // An empty document still becomes a valid file of one blank page.
    QPainter painter(&writer);
    return;
  }
  writer.setPageSize(PageSizeOf(document.PageSize(first - 1)));
  QPainter painter;
  if (!painter.begin(&writer))
    throw core::Exception("Cannot create file \"" + path.toStdString() + "\"");
  double scale = kPdfResolution / 96.0;
  for (int page = first; page <= last; ++page) {
    if (page > first) {
      writer.setPageSize(PageSizeOf(document.PageSize(page - 1)));
      writer.newPage();
    }
    painter.save();
    document.DrawPage(page - 1, painter, scale, QPointF(0, 0));
    painter.restore();
  }
  painter.end();
}

}  // namespace lgoty::ui
