#include "ui/preview_layout.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

#include "report/resources.h"

namespace lgoty::ui {

QStringList ZoomItems() {
  return {"25%", "50%", "75%", "100%", "150%", "200%",
          QString::fromStdString(report::frxGet("zmPageWidth")),
          QString::fromStdString(report::frxGet("zmWholePage"))};
}

bool ParseZoomText(const QString& text, double& zoom) {
  QString number = text;
  number.replace('%', ' ');
  number.remove(' ');
  number.replace(',', '.');
  bool ok = false;
  double value = QLocale::c().toDouble(number, &ok);
  if (!ok || !std::isfinite(value)) return false;
  zoom = value / 100;
  return true;
}

QString ZoomText(double zoom) { return QString::number(std::lround(zoom * 100)) + "%"; }

void PageLayout::Build(const std::vector<QSize>& sizes, int client_width, bool right_to_left) {
  rects_.assign(sizes.size(), QRect());
  row_top_.clear();
  row_first_.clear();
  int top = kPageGap, widest = 0;
  size_t first = 0;
  while (first < sizes.size()) {
    // Take pages while the row with a gap on both sides still fits.
    size_t end = first;
    int row_width = 0, row_height = 0;
    while (end < sizes.size()) {
      int width = row_width + (end > first ? kPageGap : 0) + sizes[end].width();
      if (end > first && width + 2 * kPageGap > client_width) break;
      row_width = width;
      row_height = std::max(row_height, sizes[end].height());
      ++end;
    }
    int left = std::max((client_width - row_width) / 2, kPageGap);
    row_top_.push_back(top);
    row_first_.push_back(static_cast<int>(first));
    for (size_t i = first; i < end; ++i) {
      int x = right_to_left ? client_width - left - sizes[i].width() : left;
      rects_[i] = QRect(QPoint(x, top), sizes[i]);
      left += sizes[i].width() + kPageGap;
    }
    widest = std::max(widest, row_width + 2 * kPageGap);
    top += row_height + kPageGap;
    first = end;
  }
  content_ = QSize(widest, top);
}

std::vector<int> PageLayout::PagesIn(const QRect& area) const {
  std::vector<int> pages;
  if (rects_.empty()) return pages;
  // Rows are sorted by top: start at the last row beginning at or above the area.
  auto row = std::upper_bound(row_top_.begin(), row_top_.end(), area.top());
  size_t first_row = row == row_top_.begin() ? 0 : static_cast<size_t>(row - row_top_.begin() - 1);
  for (size_t i = static_cast<size_t>(row_first_[first_row]); i < rects_.size(); ++i) {
    if (rects_[i].top() > area.bottom()) break;
    if (rects_[i].intersects(area)) pages.push_back(static_cast<int>(i));
  }
  return pages;
}

int PageLayout::PageAt(const QPoint& point) const {
  if (rects_.empty()) return -1;
  auto row = std::upper_bound(row_top_.begin(), row_top_.end(), point.y());
  size_t r = row == row_top_.begin() ? 0 : static_cast<size_t>(row - row_top_.begin() - 1);
  size_t begin = static_cast<size_t>(row_first_[r]);
  size_t end = r + 1 < row_first_.size() ? static_cast<size_t>(row_first_[r + 1]) : rects_.size();
  for (size_t i = begin; i < end; ++i)
    if (point.x() < rects_[i].right() + kPageGap) return static_cast<int>(i);
  return static_cast<int>(end - 1);
}

double WholePageZoom(QSize page, QSize workspace, int scroll_bar_width) {
  if (page.isEmpty() || workspace.isEmpty()) return 1;
  double by_height = static_cast<double>(page.height()) / workspace.height();
  double by_width = static_cast<double>(page.width()) / workspace.width();
  if (by_height >= by_width) return std::max(workspace.height() - 26, 1) / double(page.height());
  return std::max(workspace.width() - scroll_bar_width - 26, 1) / double(page.width());
}

double PageWidthZoom(QSize page, QSize workspace, int scroll_bar_width) {
  if (page.isEmpty() || workspace.isEmpty()) return 1;
  return std::max(workspace.width() - scroll_bar_width - 26, 1) / double(page.width());
}

}  // namespace lgoty::ui
