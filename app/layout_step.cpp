#include "app/layout_step.h"

namespace lgoty::app {

void ApplyLayoutStep(TMainLayout& l, int window_width, int window_height) {
  l.label8.left = l.edit1.left + l.edit1.width + 5;
  l.label9.left = l.label8.left + l.label8.width + 15;
  l.spin_edit1.left = l.label9.left + l.label9.width + 5;
  l.exit_button.left = window_width - l.exit_button.width - 50;
  l.grid.top = l.edit1.top + l.edit1.height + 10;
  l.grid.height = window_height - l.grid.top - 70;
  if (l.grid.height < 0) l.grid.height = 0;  // a window smaller than the margins
  l.exit_button.top = window_height - l.exit_button.height - 70;
}

}  // namespace lgoty::app
