// Vertical growth of the objects of a band: which objects move when an object above them
// grows (shift lists), and how growth is passed down them.
//
// Shift lists. The band's views are ordered by Top; a virtual object one pixel high that
// spans the band sits above all of them. B is in the list of A when A lies above B (smaller
// Top), their horizontal spans overlap, B is not inside A, and no object between them in
// the order overlaps the common horizontal span of A and B. Objects that no real object
// claims belong to the virtual object, whose list is the band's list.
//
// Passing growth. Every object records its own growth (new height − old height). Going
// down the lists from the virtual object (which passes 0), an object receives the largest
// amount any of its parents passes, and then:
//   smAlways          moves down by that amount; passes it plus its own growth;
//   smDontShift       stays; passes the amount plus its own growth;
//   smWhenOverlapped  directly under the band: stays, passes only its own growth; under a
//                     real object: moves only when a parent now overlaps it, to that
//                     parent's new bottom, and passes the overlap plus its own growth.
#pragma once

#include <vector>

namespace lgoty::report {

class TfrxBand;
class TfrxView;
class TfrxStretcheable;

class ShiftLists {
 public:
  // Computes the lists of the band's visible-or-not views (the band's hidden fill memo is
  // left out: it follows the band's height instead).
  void Build(TfrxBand& band);

  // The views in the order of their Top, and for each the indexes of the views that claim
  // it (empty: it belongs to the band).
  const std::vector<TfrxView*>& Views() const { return views_; }
  const std::vector<std::vector<int>>& Parents() const { return parents_; }
  // Per view of Views(): its stretchable side, or null when it cannot stretch.
  const std::vector<TfrxStretcheable*>& Stretcheables() const { return stretcheables_; }

  // Moves the views by the growth recorded for each (growth[i] for Views()[i]), as the
  // rules above say. Heights have already been changed by the caller.
  void ApplyGrowth(const std::vector<double>& growth) const;

 private:
  std::vector<TfrxView*> views_;
  std::vector<std::vector<int>> parents_;
  std::vector<TfrxStretcheable*> stretcheables_;
  // What each view passes down, kept between calls so that a band's print allocates nothing.
  mutable std::vector<double> passes_;
};

}  // namespace lgoty::report
