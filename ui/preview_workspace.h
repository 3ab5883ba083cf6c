// A scrolling page area of the preview: lays the pages out in rows at a zoom and draws the
// visible ones. Drawn pages are kept as images for the zoom they were drawn at, so that
// scrolling repaints from memory; a page is drawn again only after the zoom or the document
// changed. Used twice by the preview: the main page area and the thumbnails (zoom 0.1).
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <list>
#include <vector>

#include "ui/preview_document.h"
#include "ui/preview_layout.h"

namespace lgoty::ui {

class PreviewWorkspace : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit PreviewWorkspace(QWidget* parent = nullptr);

  // The document must outlive the workspace or be replaced first; nullptr shows nothing.
  void SetDocument(PreviewDocument* document);
  // Measures pages not measured yet (pages appended while a report is built) and lays out
  // `count` pages.
  void SetPageCount(int count);
  // Measures every page again and drops the drawn images (pages changed or were reloaded).
  void Reload();
  void SetZoom(double zoom);
  double Zoom() const { return zoom_; }
  int PageCount() const { return layout_.Count(); }
  const PageLayout& Layout() const { return layout_; }
  // The unzoomed size of a laid-out page (A4 for a page the document cannot measure).
  QSize PageSize(int index) const;

  // Scrolls so that page `index` begins at the top, `top` page pixels (zoom 1) further down.
  void ScrollToPage(int index, double top = 0);
  // Scrolls the least needed to show a rectangle of a page (page pixels, zoom 1) with a
  // margin in device pixels.
  void EnsureVisible(int index, const QRectF& page_rect, int margin);
  void ScrollBy(int dx, int dy);
  // The page shown at the top of the area.
  int TopPage() const;
  // The page marked as current (framed in the thumbnails).
  void SetCurrentPage(int index);
  // A rectangle of a page (page pixels, zoom 1) drawn marked; index -1 marks nothing.
  void SetHighlight(int index, const QRectF& page_rect);
  // Drawn images held now (for tests and the benchmark).
  int HeldImages() const { return static_cast<int>(images_.size()); }

 signals:
  void pageClicked(int index, QPointF page_point);
  void topPageChanged(int index);
  // Ctrl + wheel: notches, positive away from the user.
  void zoomWheel(int notches);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void Relayout();
  const QImage& PageImage(int index, QSize size);
  QRect ContentView() const;

  struct DrawnPage {
    int index;
    QImage image;
  };

  PreviewDocument* document_ = nullptr;
  double zoom_ = 1;
  std::vector<QSize> sizes_;  // unzoomed
  PageLayout layout_;
  std::list<DrawnPage> images_;  // most recently used first
  int current_page_ = -1;
  int highlight_page_ = -1;
  QRectF highlight_rect_;
  int last_top_page_ = -1;
};

}  // namespace lgoty::ui
