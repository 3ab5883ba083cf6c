// The main window's layout step, run on every resize and after a font-size change. It
// places the row of search box, search label, size label and spin edit, keeps the exit
// button 50 pixels from the right edge and 70 from the bottom, and stretches the grid down
// to 70 pixels above the bottom. Window width and height are the window's outer size;
// everything else is in the window's client coordinates.
#pragma once

namespace lgoty::app {

struct TBox {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TBox&) const = default;
};

struct TMainLayout {
  TBox edit1, label8, label9, spin_edit1, grid, exit_button;
};

void ApplyLayoutStep(TMainLayout& layout, int window_width, int window_height);

}  // namespace lgoty::app
