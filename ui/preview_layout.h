// Geometry of the preview's page area: zoom box texts, the page rows of a workspace, and
// the zoom of the fitting modes. No widgets: the workspace and the tests share it.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

namespace lgoty::ui {

inline constexpr double kMinZoom = 0.25;
inline constexpr double kMinWheelZoom = 0.3;
inline constexpr double kZoomStep = 0.25;
inline constexpr double kWheelZoomStep = 0.1;
inline constexpr int kPageGap = 10;
// A page the document cannot measure is laid out as A4 at 96 dpi.
inline constexpr QSize kA4Pixels{794, 1123};

// The zoom box items: "25%" .. "200%", "По ширине", "Страница целиком".
QStringList ZoomItems();
inline constexpr int kZoomItemPageWidth = 6;
inline constexpr int kZoomItemWholePage = 7;
// The zoom a typed or chosen text names: "%" and spaces dropped, either decimal separator,
// divided by 100. False when no number remains.
bool ParseZoomText(const QString& text, double& zoom);
// The box text after a zoom change: zoom * 100 rounded, then "%".
QString ZoomText(double zoom);

// Page rows: as many pages as fit in the client width (at least one), kPageGap between
// pages and rows and above the first row, every row centred; a row is as high as its
// highest page.
class PageLayout {
 public:
  // `sizes` are the zoomed page sizes.
  void Build(const std::vector<QSize>& sizes, int client_width, bool right_to_left = false);
  int Count() const { return static_cast<int>(rects_.size()); }
  // The page rectangle in content coordinates.
  QRect PageRect(int index) const { return rects_.at(static_cast<size_t>(index)); }
  QSize ContentSize() const { return content_; }
  // Pages whose rectangles meet `area` (content coordinates), in order.
  std::vector<int> PagesIn(const QRect& area) const;
  // The page at a content point, or the first page of the row at that height; -1 when empty.
  int PageAt(const QPoint& point) const;

 private:
  std::vector<QRect> rects_;
  std::vector<int> row_top_, row_first_;  // per row: top, first page
  QSize content_;
};

// Zoom of the fitting modes for a page of size `page` in a workspace.
double WholePageZoom(QSize page, QSize workspace, int scroll_bar_width);
double PageWidthZoom(QSize page, QSize workspace, int scroll_bar_width);

}  // namespace lgoty::ui
