#include "ui/preview_workspace.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace lgoty::ui {
namespace {

// Enough drawn pages for a screen full of small pages and a few to scroll back to; bounded
// by bytes as well, so that a high zoom keeps only a few.
constexpr int kMaxImages = 24;
constexpr qint64 kMaxImageBytes = 160ll << 20;

}  // namespace

PreviewWorkspace::PreviewWorkspace(QWidget* parent) : QAbstractScrollArea(parent) {
  viewport()->setBackgroundRole(QPalette::Dark);
  viewport()->setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
  verticalScrollBar()->setSingleStep(8);
  horizontalScrollBar()->setSingleStep(8);
}

void PreviewWorkspace::SetDocument(PreviewDocument* document) {
  document_ = document;
  sizes_.clear();
  images_.clear();
  highlight_page_ = -1;
  SetPageCount(document ? document->PageCount() : 0);
}

void PreviewWorkspace::SetPageCount(int count) {
  count = std::max(count, 0);
  if (static_cast<int>(sizes_.size()) > count) sizes_.resize(static_cast<size_t>(count));
  while (static_cast<int>(sizes_.size()) < count) {
    QSize size = document_ ? document_->PageSize(static_cast<int>(sizes_.size())) : QSize();
    sizes_.push_back(size.isEmpty() ? kA4Pixels : size);
  }
  Relayout();
}

void PreviewWorkspace::Reload() {
  sizes_.clear();
  images_.clear();
  SetPageCount(document_ ? document_->PageCount() : 0);
}

void PreviewWorkspace::SetZoom(double zoom) {
  if (zoom == zoom_) return;
  // Keep the same place of the same page at the top.
  int top_page = TopPage();
  double top_in_page = 0;
  if (top_page >= 0)
    top_in_page = (verticalScrollBar()->value() - layout_.PageRect(top_page).top()) / zoom_;
  zoom_ = zoom;
  images_.clear();
  Relayout();
  if (top_page >= 0) ScrollToPage(top_page, std::max(top_in_page, 0.0));
}

QSize PreviewWorkspace::PageSize(int index) const {
  if (index < 0 || index >= static_cast<int>(sizes_.size())) return kA4Pixels;
  return sizes_[static_cast<size_t>(index)];
}

void PreviewWorkspace::Relayout() {
  std::vector<QSize> zoomed;
  zoomed.reserve(sizes_.size());
  for (QSize size : sizes_)
    zoomed.emplace_back(std::max(1, static_cast<int>(std::lround(size.width() * zoom_))),
                        std::max(1, static_cast<int>(std::lround(size.height() * zoom_))));
  layout_.Build(zoomed, viewport()->width(), layoutDirection() == Qt::RightToLeft);
  QSize content = layout_.ContentSize();
  horizontalScrollBar()->setRange(0, std::max(0, content.width() - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
  verticalScrollBar()->setRange(0, std::max(0, content.height() - viewport()->height()));
  verticalScrollBar()->setPageStep(viewport()->height());
  viewport()->update();
}

QRect PreviewWorkspace::ContentView() const {
  return QRect(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()),
               viewport()->size());
}

void PreviewWorkspace::ScrollToPage(int index, double top) {
  if (index < 0 || index >= layout_.Count()) return;
  QRect rect = layout_.PageRect(index);
  verticalScrollBar()->setValue(rect.top() - kPageGap + static_cast<int>(std::lround(top * zoom_)));
  if (rect.left() < horizontalScrollBar()->value() ||
      rect.right() > horizontalScrollBar()->value() + viewport()->width())
    horizontalScrollBar()->setValue(rect.left() - kPageGap);
  viewport()->update();
}

void PreviewWorkspace::EnsureVisible(int index, const QRectF& page_rect, int margin) {
  if (index < 0 || index >= layout_.Count()) return;
  QRect page = layout_.PageRect(index);
  QRect target(page.left() + static_cast<int>(page_rect.left() * zoom_) - margin,
               page.top() + static_cast<int>(page_rect.top() * zoom_) - margin,
               static_cast<int>(page_rect.width() * zoom_) + 2 * margin,
               static_cast<int>(page_rect.height() * zoom_) + 2 * margin);
  QRect view = ContentView();
  if (target.top() < view.top() || target.bottom() > view.bottom())
    verticalScrollBar()->setValue(target.bottom() > view.bottom() && target.height() < view.height()
                                      ? target.bottom() - view.height()
                                      : target.top());
  if (target.left() < view.left() || target.right() > view.right())
    horizontalScrollBar()->setValue(target.right() > view.right() && target.width() < view.width()
                                        ? target.right() - view.width()
                                        : target.left());
  viewport()->update();
}

void PreviewWorkspace::ScrollBy(int dx, int dy) {
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
  verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
}

int PreviewWorkspace::TopPage() const {
  if (layout_.Count() == 0) return -1;
  QRect view = ContentView();
  // The first page whose lower part is in view.
  for (int index : layout_.PagesIn(view))
    if (layout_.PageRect(index).bottom() >= view.top() + kPageGap) return index;
  return layout_.PageAt(QPoint(view.left(), view.top()));
}

void PreviewWorkspace::SetCurrentPage(int index) {
  if (current_page_ == index) return;
  current_page_ = index;
  viewport()->update();
}

void PreviewWorkspace::SetHighlight(int index, const QRectF& page_rect) {
  highlight_page_ = index;
  highlight_rect_ = page_rect;
  viewport()->update();
}

const QImage& PreviewWorkspace::PageImage(int index, QSize size) {
  for (auto it = images_.begin(); it != images_.end(); ++it) {
    if (it->index == index && it->image.size() == size) {
      images_.splice(images_.begin(), images_, it);
      return images_.front().image;
    }
  }
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (document_) {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(QRect(QPoint(0, 0), size));
    document_->DrawPage(index, painter, zoom_, QPointF(0, 0));
  }
  images_.push_front({index, std::move(image)});
  qint64 bytes = 0;
  int kept = 0;
  for (auto it = images_.begin(); it != images_.end();) {
    bytes += it->image.sizeInBytes();
    if (++kept > kMaxImages || (kept > 1 && bytes > kMaxImageBytes))
      it = images_.erase(it);
    else
      ++it;
  }
  return images_.front().image;
}

void PreviewWorkspace::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.fillRect(event->rect(), palette().color(QPalette::Dark));
  QRect view = ContentView();
  QPoint origin = view.topLeft();
  for (int index : layout_.PagesIn(view)) {
    QRect rect = layout_.PageRect(index).translated(-origin);
    // Shadow, then the page.
    painter.fillRect(rect.translated(3, 3), QColor(64, 64, 64));
    painter.drawImage(rect.topLeft(), PageImage(index, rect.size()));
    painter.setPen(index == current_page_ && zoom_ < 0.5 ? QPen(Qt::blue, 2) : QPen(Qt::black));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
    if (index == highlight_page_) {
      QRectF mark(rect.left() + highlight_rect_.left() * zoom_,
                  rect.top() + highlight_rect_.top() * zoom_, highlight_rect_.width() * zoom_,
                  highlight_rect_.height() * zoom_);
      painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
      painter.fillRect(mark, Qt::white);
      painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
  }
}

void PreviewWorkspace::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  int top_page = TopPage();
  Relayout();
  if (top_page >= 0 && verticalScrollBar()->value() > 0) ScrollToPage(top_page);
}

void PreviewWorkspace::scrollContentsBy(int, int) {
  viewport()->update();
  int top_page = TopPage();
  if (top_page != last_top_page_) {
    last_top_page_ = top_page;
    emit topPageChanged(top_page);
  }
}

void PreviewWorkspace::wheelEvent(QWheelEvent* event) {
  int notches = event->angleDelta().y() / 120;
  if (notches == 0) notches = event->angleDelta().y() > 0 ? 1 : (event->angleDelta().y() < 0 ? -1 : 0);
  if (event->modifiers() & Qt::ControlModifier) {
    if (notches) emit zoomWheel(notches);
  } else {
    ScrollBy(0, -20 * notches);
  }
  event->accept();
}

void PreviewWorkspace::mousePressEvent(QMouseEvent* event) {
  QPoint content = event->position().toPoint() + ContentView().topLeft();
  int index = layout_.PageAt(content);
  if (index >= 0 && layout_.PageRect(index).contains(content)) {
    QPointF in_page = QPointF(content - layout_.PageRect(index).topLeft()) / zoom_;
    emit pageClicked(index, in_page);
  }
  QAbstractScrollArea::mousePressEvent(event);
}

}  // namespace lgoty::ui
