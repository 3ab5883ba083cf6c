// Printing one band: preparing it (events, data, stretching), deciding whether it fits,
// placing it and handing it to the output, and printing it in parts when it is split.
#include <algorithm>
#include <cmath>
#include <map>

#include "report/band_engine.h"
#include "report/bands.h"
#include "report/component_changes.h"
#include "report/engine_links.h"
#include "report/engine_output.h"
#include "report/pages.h"
#include "report/report.h"
#include "report/type_cast.h"
#include "report/views.h"

namespace lgoty::report {

namespace links = engine_links;

namespace {

constexpr double kEpsilon = 1e-4;

// Bands that are placed where the engine puts them, whatever space is left (by the band
// number of their kind).
bool IsFixedPlaceBand(int n) { return n == 3 || n == 16 || n == 17 || n < 0; }

bool IsMultiColumnDataBand(const TfrxBand& band) {
  auto* data = CachedCast<const TfrxDataBand>(&band);
  return data && data->columns > 1;
}

std::vector<TfrxView*> BandViews(TfrxBand& band) {
  std::vector<TfrxView*> views;
  TfrxComponent* fill = band.FillMemo();
  for (int i = 0; i < band.ObjectCount(); ++i) {
    if (band.Object(i) == fill) continue;
    if (auto* v = dynamic_cast<TfrxView*>(band.Object(i))) views.push_back(v);
  }
  return views;
}

}  // namespace

ShiftLists& TfrxEngine::ShiftListsOf(TfrxBand& band) {
  auto it = shift_lists_.find(&band);
  if (it == shift_lists_.end()) {
    it = shift_lists_.emplace(&band, ShiftLists()).first;
    it->second.Build(band);
  }
  return it->second;
}

namespace {

// Whether the objects below parent, depth first and in order as AllObjects lists them, are
// all[at...] with the same classes; at ends after the last one compared. Lists nothing, so
// that the check a band makes on every print allocates nothing.
bool SameSubtree(const TfrxComponent& parent, const std::vector<TfrxComponent*>& all,
                 const std::vector<const core::ClassInfo*>& classes, size_t& at) {
  for (int i = 0; i < parent.ObjectCount(); ++i) {
    TfrxComponent* child = parent.Object(i);
    if (at >= all.size() || all[at] != child || child->ClassType() != classes[at]) return false;
    ++at;
    if (!SameSubtree(*child, all, classes, at)) return false;
  }
  return true;
}

}  // namespace

std::shared_ptr<const TfrxEngine::BandObjects> TfrxEngine::ObjectsOf(TfrxBand& band) {
  KnownBandObjects& known = band_objects_[&band];
  const uint64_t changes = ComponentTreeChanges();
  if (known.objects) {
    if (known.checked_at == changes) return known.objects;
    size_t at = 0;
    if (SameSubtree(band, known.objects->all, known.objects->classes, at) &&
        at == known.objects->all.size()) {
      known.checked_at = changes;
      return known.objects;
    }
  }
  // A new snapshot rather than a change in place: a caller may still walk the old one.
  auto objects = std::make_shared<BandObjects>();
  std::vector<TfrxComponent*> all = band.AllObjects();
  for (TfrxComponent* c : all) {
    objects->classes.push_back(c->ClassType());
    auto* object = dynamic_cast<TfrxReportComponent*>(c);
    if (!object) continue;
    objects->components.push_back(object);
    objects->views.push_back(dynamic_cast<TfrxView*>(object));
    objects->memos.push_back(dynamic_cast<TfrxCustomMemoView*>(object));
    if (auto* sub = dynamic_cast<TfrxSubreport*>(object)) objects->subreports.push_back(sub);
  }
  objects->all = std::move(all);
  known.objects = std::move(objects);
  known.checked_at = changes;
  return known.objects;
}

void TfrxEngine::ShowBand(TfrxBand* band) {
  // A band a script took out of the report during the run (by clearing its page) is not
  // printed again: its objects can no longer reach the report's data.
  if (!band || Terminated() || band->Report() != &report_) return;
  ShowBandImpl(band);
}

void TfrxEngine::ShowBandImpl(TfrxBand* band) {
  const bool kept_child = band->keep_child && StartKeep(band);
  const int number = BandNumber(*band);
  if (band->start_new_page && band->Visible() && !adding_page_ && band != first_row_band_ &&
      context_ && cur_y_ > data_start_y_ + kEpsilon) {
    if (number == 12 && band->reset_page_numbers) output_.ResetLogicalPageNumber();
    start_new_page_band_ = band;
    NewPage();
    start_new_page_band_ = nullptr;
  } else if (number == 12 && band->reset_page_numbers && band->start_new_page &&
             band != first_row_band_ && !adding_page_) {
    output_.ResetLogicalPageNumber();
  }

  PrepareBand(*band);

  bool split = false;
  double shown_top = cur_y_;
  auto* data = CachedCast<TfrxDataBand>(band);
  if (band->Visible() && !IsFixedPlaceBand(number) && !(data && data->columns > 1) &&
      !adding_page_ && context_ && FreeSpace() < band->Height() - kEpsilon) {
    if ((band->allow_split && !keep_band_) || band->Height() > PageBodyHeight() + kEpsilon) {
      if (!band->allow_split && band != first_row_band_ && !band->start_new_page &&
          cur_y_ > data_start_y_ + kEpsilon) {
        NewColumn();
      }
      EndKeep(keep_band_);
      shown_top = cur_y_;
      ShowSplit(*band);
      split = true;
    } else {
      NewColumn();
    }
  }
  if (!split) {
    PlaceBand(*band);
    shown_top = band->Top();
  }
  FinishBand(*band);
  if (!pending_subreports_.empty()) BuildSubreports(*band);

  if (TfrxChild* child = band->child.Get();
      child && child != band && (band->Visible() || band->print_child_if_invisible)) {
    ShowBand(child);
  }
  if (kept_child) EndKeep(band);
  last_shown_top_ = shown_top;  // the band's own, not its child's
  if (data) links::AddAggregateRow(report_, *data);
}

void TfrxEngine::PrepareBand(TfrxBand& band) {
  cur_band_ = &band;
  links::SetCurrentBand(report_, &band);
  links::SetCurrentObject(report_, band.Name());
  links::SetLineCounters(report_, cur_line_, cur_line_through_);
  auto entry = saved_bounds_.find(&band);
  if (entry == saved_bounds_.end()) {
    if (saved_bounds_.size() >= kMaxSavedBandBounds) {
      std::erase_if(saved_bounds_, [](const auto& item) { return !item.second.active; });
    }
    entry = saved_bounds_.emplace(&band, SavedBandBounds()).first;
  }
  entry->second.active = true;
  std::vector<SavedBounds>& saved = entry->second.bounds;
  saved.clear();
  saved.push_back({&band, band.Left(), band.Top(), band.Width(), band.Height(), band.Visible()});
  std::shared_ptr<const BandObjects> objects = ObjectsOf(band);
  for (TfrxComponent* c : objects->all) {
    saved.push_back({c, c->Left(), c->Top(), c->Width(), c->Height(), c->Visible()});
  }
  // The band's objects belong to the band's report (the hooks do nothing without one).
  TfrxReport* report = band.Report();
  links::BeforePrint(report, band, nullptr);
  // Only the band's script handler can change its objects before they are filled.
  if (!band.on_before_print.empty()) {
    FireEvent(band.on_before_print, &band);
    objects = ObjectsOf(band);
  }
  for (size_t i = 0; i < objects->components.size(); ++i) {
    TfrxReportComponent* object = objects->components[i];
    links::SetCurrentObject(report_, object->Name());
    TfrxCustomMemoView* memo = objects->memos[i];
    links::BeforePrint(report, *object, memo);
    TfrxView* view = objects->views[i];
    if (band.Visible() && view) FireEvent(view->on_before_print, view);
    if (object->Visible()) {
      links::FillData(report, memo, view);
      if (view) FireEvent(view->on_after_data, view);
    }
  }
  links::SetCurrentObject(report_, band.Name());
  StretchBand(band);
  if (!objects->subreports.empty()) PlaceSubreportsOnParent(band, *objects);
}

double TfrxEngine::NeededHeight(TfrxView& view) { return links::CalcHeight(view); }

void TfrxEngine::StretchBand(TfrxBand& band) {
  ShiftLists& lists = ShiftListsOf(band);
  const std::vector<TfrxView*>& views = lists.Views();
  const std::vector<TfrxStretcheable*>& stretcheables = lists.Stretcheables();
  // Borrowed from the member and given back, so that printing a band allocates nothing (a
  // band printed while this one is measured finds the member empty and makes its own).
  std::vector<double> growth = std::move(growth_);
  growth.assign(views.size(), 0.0);
  bool grew = false;
  for (size_t i = 0; i < views.size(); ++i) {
    TfrxStretcheable* s = stretcheables[i];
    if (!s || !s->Visible() || s->stretch_mode == TfrxStretchMode::smDontStretch) continue;
    const double needed = NeededHeight(*s);
    if (needed > s->Height() + kEpsilon) {
      growth[i] = needed - s->Height();
      s->SetHeight(needed);
      grew = true;
    }
  }
  if (grew) lists.ApplyGrowth(growth);
  growth_ = std::move(growth);

  double lowest = 0;
  bool any = false;
  for (TfrxView* v : views) {
    if (!v->Visible()) continue;
    lowest = std::max(lowest, v->Top() + v->Height());
    any = true;
  }
  if (band.stretched && !views.empty()) band.SetHeight(any ? lowest : 0);
  FireEvent(band.on_after_calc_height, &band);
  for (TfrxStretcheable* s : stretcheables) {
    if (s && s->Visible() && s->stretch_mode == TfrxStretchMode::smMaxHeight) {
      s->SetHeight(std::max(0.0, lowest - s->Top()));
    }
  }
}

void TfrxEngine::PlaceBand(TfrxBand& band) {
  double left = cur_x_;
  if (IsMultiColumnDataBand(band)) left += band.Left();
  band.SetLeft(left);
  band.SetTop(cur_y_);
  if (!band.Visible()) return;
  if (!adding_page_ || !output_.BandExists(band)) output_.AddObject(band);
  cur_y_ += band.Height();
}

void TfrxEngine::FinishBand(TfrxBand& band) {
  const std::shared_ptr<const BandObjects> objects = ObjectsOf(band);
  if (!objects->subreports.empty()) CollectSubreports(band, *objects);
  TfrxReport* report = band.Report();
  for (size_t i = 0; i < objects->components.size(); ++i) {
    links::AfterPrint(report, *objects->components[i], objects->memos[i]);
    if (TfrxView* view = objects->views[i]) FireEvent(view->on_after_print, view);
  }
  links::AfterPrint(report, band, nullptr);
  FireEvent(band.on_after_print, &band);
  if (auto it = saved_bounds_.find(&band); it != saved_bounds_.end() && it->second.active) {
    it->second.active = false;
    for (const SavedBounds& s : it->second.bounds) {
      s.object->SetBounds(s.left, s.top, s.width, s.height);
      s.object->SetVisible(s.visible);
    }
  }
  links::SetCurrentBand(report_, &band);
  links::ResetAggregates(report_, band);
}

// Printing in parts: each part holds the objects that fit into the free space; a memo that
// starts inside it but does not fit is cut at a line boundary and continues in the next
// part at its top. Objects below move up by what was printed. Each part is handed out as
// a band as high as its lowest object.
void TfrxEngine::ShowSplit(TfrxBand& band) {
  std::vector<TfrxView*> views = BandViews(band);
  struct Saved {
    TfrxView* view;
    bool visible;
  };
  std::vector<Saved> saved;
  for (TfrxView* v : views) saved.push_back({v, v->Visible()});
  std::vector<TfrxView*> pending;
  for (TfrxView* v : views) {
    if (v->Visible()) pending.push_back(v);
  }
  const double saved_height = band.Height();
  std::map<TfrxView*, std::pair<std::string, double>> cut_tails;
  while (!pending.empty() && !Terminated()) {
    double free = FreeSpace();
    std::vector<TfrxView*> part, rest;
    double part_height = 0;
    for (TfrxView* v : pending) {
      const double bottom = v->Top() + v->Height();
      if (bottom <= free + kEpsilon) {
        part.push_back(v);
        part_height = std::max(part_height, bottom);
        continue;
      }
      auto* memo = dynamic_cast<TfrxCustomMemoView*>(v);
      if (memo && v->Top() < free - kEpsilon &&
          memo->stretch_mode != TfrxStretchMode::smDontStretch) {
        // Cut the text: as many whole lines as fit now, the rest in the next part.
        const std::string text = memo->Text();
        core::TStringList lines;
        lines.SetText(text);
        int fit = 0;
        const double room = free - v->Top();
        for (int n = 1; n <= lines.Count(); ++n) {
          std::string head;
          for (int k = 0; k < n; ++k) head += lines[k] + (k + 1 < n ? "\r\n" : "");
          memo->SetText(head);
          if (NeededHeight(*memo) > room + kEpsilon) break;
          fit = n;
        }
        if (fit > 0 && fit < lines.Count()) {
          std::string head, tail;
          for (int k = 0; k < lines.Count(); ++k) {
            std::string& target = k < fit ? head : tail;
            if (!target.empty()) target += "\r\n";
            target += lines[k];
          }
          memo->SetText(tail);
          const double tail_height = NeededHeight(*memo);
          memo->SetText(head);
          memo->SetHeight(room);
          part.push_back(v);
          part_height = std::max(part_height, free);
          // The rest is printed from the next part's top.
          rest.push_back(v);
          cut_tails[v] = {tail, tail_height};
          continue;
        }
        memo->SetText(text);
      }
      rest.push_back(v);
    }
    if (part.empty()) {
      // Nothing fits into what is left: on a fresh page print the first object anyway so
      // that the run moves on; otherwise go to the next page first.
      if (cur_y_ > data_start_y_ + kEpsilon) {
        NewColumn();
        continue;
      }
      part.push_back(rest.front());
      rest.erase(rest.begin());
      part_height = part.front()->Top() + part.front()->Height();
    }
    for (TfrxView* v : views) v->SetVisible(false);
    for (TfrxView* v : part) v->SetVisible(true);
    band.SetHeight(part_height);
    for (TfrxView* v : part) {
      auto* s = dynamic_cast<TfrxStretcheable*>(v);
      if (s && s->stretch_mode == TfrxStretchMode::smMaxHeight) {
        s->SetHeight(std::max(0.0, part_height - s->Top()));
      }
    }
    PlaceBand(band);
    // Move what is left up by what was printed.
    for (TfrxView* v : rest) {
      auto tail = cut_tails.find(v);
      if (tail != cut_tails.end()) {
        static_cast<TfrxCustomMemoView*>(v)->SetText(tail->second.first);
        v->SetHeight(tail->second.second);
        v->SetTop(0);
        cut_tails.erase(tail);
      } else {
        v->SetTop(std::max(0.0, v->Top() - part_height));
      }
    }
    pending = rest;
    if (!pending.empty()) NewColumn();
  }
  for (const Saved& s : saved) s.view->SetVisible(s.visible);
  band.SetHeight(saved_height);
}

}  // namespace lgoty::report
