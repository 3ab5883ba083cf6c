#include "report/shift_lists.h"

#include <algorithm>

#include "report/bands.h"
#include "report/views.h"

namespace lgoty::report {

namespace {

// Horizontal spans overlap when they share more than a touching edge.
bool SpansOverlap(double l1, double r1, double l2, double r2) {
  return std::max(l1, l2) < std::min(r1, r2) - 1e-6;
}

}  // namespace

void ShiftLists::Build(TfrxBand& band) {
  views_.clear();
  parents_.clear();
  TfrxComponent* fill = band.FillMemo();
  for (int i = 0; i < band.ObjectCount(); ++i) {
    TfrxComponent* c = band.Object(i);
    if (c == fill) continue;
    if (auto* v = dynamic_cast<TfrxView*>(c)) views_.push_back(v);
  }
  std::stable_sort(views_.begin(), views_.end(),
                   [](const TfrxView* a, const TfrxView* b) { return a->Top() < b->Top(); });
  const size_t n = views_.size();
  stretcheables_.clear();
  for (TfrxView* v : views_) stretcheables_.push_back(dynamic_cast<TfrxStretcheable*>(v));
  parents_.assign(n, {});
  for (size_t b = 0; b < n; ++b) {
    const TfrxView* vb = views_[b];
    const double bl = vb->Left(), br = vb->Left() + vb->Width();
    for (size_t a = 0; a < b; ++a) {
      const TfrxView* va = views_[a];
      if (!(va->Top() < vb->Top())) continue;
      const double al = va->Left(), ar = va->Left() + va->Width();
      if (!SpansOverlap(al, ar, bl, br)) continue;
      // B inside A: it moves with A's content, not below it.
      const bool inside = bl >= al && br <= ar && vb->Top() >= va->Top() &&
                          vb->Top() + vb->Height() <= va->Top() + va->Height();
      if (inside) continue;
      const double cl = std::max(al, bl), cr = std::min(ar, br);
      bool shadowed = false;
      for (size_t c = a + 1; c < b && !shadowed; ++c) {
        const TfrxView* vc = views_[c];
        if (!(vc->Top() > va->Top() && vc->Top() < vb->Top())) continue;
        shadowed = SpansOverlap(vc->Left(), vc->Left() + vc->Width(), cl, cr);
      }
      if (!shadowed) parents_[b].push_back(static_cast<int>(a));
    }
  }
}

void ShiftLists::ApplyGrowth(const std::vector<double>& growth) const {
  const size_t n = views_.size();
  std::vector<double>& passes = passes_;
  passes.assign(n, 0.0);
  for (size_t b = 0; b < n; ++b) {
    TfrxView* v = views_[b];
    const double own = b < growth.size() ? growth[b] : 0.0;
    double received = 0;
    for (int a : parents_[b]) received = std::max(received, passes[static_cast<size_t>(a)]);
    switch (v->shift_mode) {
      case TfrxShiftMode::smAlways:
        if (received != 0) v->SetTop(v->Top() + received);
        passes[b] = received + own;
        break;
      case TfrxShiftMode::smDontShift:
        passes[b] = received + own;
        break;
      case TfrxShiftMode::smWhenOverlapped: {
        if (parents_[b].empty()) {
          passes[b] = own;
          break;
        }
        double overlap = 0;
        for (int a : parents_[b]) {
          const TfrxView* p = views_[static_cast<size_t>(a)];
          overlap = std::max(overlap, p->Top() + p->Height() - v->Top());
        }
        if (overlap > 0) v->SetTop(v->Top() + overlap);
        passes[b] = std::max(overlap, 0.0) + own;
        break;
      }
    }
  }
}

}  // namespace lgoty::report
