// The data-band walk: each data band over the rows of its data set, with its header,
// footer, group chain and nested bands.
//
// A row is printable when the band's Filter is empty or true, and, for a band with nested
// bands, when PrintIfDetailEmpty is on or a nested band has a printable row for it. On the
// first printable row the header is printed (and kept with the row under KeepHeader) and
// all group headers; later, the first group whose condition value changed closes the
// groups from the innermost up to it (their footers see the previous row) and opens them
// again from it inward, restarting Line. After the last row come the group footers and
// the footer. A band with no printable row prints neither header nor footer.
#include "core/variant.h"
#include "report/band_engine.h"
#include "report/bands.h"
#include "report/data_sets.h"
#include "report/engine_links.h"
#include "report/engine_output.h"
#include "report/report.h"

namespace lgoty::report {

namespace links = engine_links;

namespace {

bool ConditionTrue(const core::Variant& v) {
  if (v.IsNull() || v.IsEmpty()) return false;
  try {
    return v.AsBoolean();
  } catch (const core::Exception&) {
    return false;
  }
}

}  // namespace

void TfrxEngine::SetLines(int line, int line_through) {
  cur_line_ = line;
  cur_line_through_ = line_through;
  links::SetLineCounters(report_, line, line_through);
}

DataBandNode* TfrxEngine::OwnerNode(const TfrxBand* band) const {
  return context_ ? context_->tree.OwnerOf(band) : nullptr;
}

bool TfrxEngine::RowPrintable(DataBandNode& node) {
  TfrxDataBand& band = *node.band;
  if (!band.filter.empty()) {
    links::SetCurrentObject(report_, band.Name());
    if (!ConditionTrue(links::Calc(report_, band.filter))) return false;
  }
  if (node.sub_bands.empty() || band.print_if_detail_empty) return true;
  for (DataBandNode* sub : node.sub_bands) {
    if (HasPrintableRow(*sub)) return true;
  }
  return false;
}

// Runs the band's master-detail event, goes to its first row and looks for a printable
// one.
bool TfrxEngine::HasPrintableRow(DataBandNode& node) {
  FireEvent(node.band->on_master_detail, node.band);
  TfrxDataSet& ds = *node.data_set;
  links::First(ds);
  while (!links::Eof(ds) && !Terminated()) {
    if (RowPrintable(node)) return true;
    links::Next(ds);
  }
  return false;
}

bool TfrxEngine::AddOutlineEntry(const TfrxBand& band) {
  if (band.outline_text.empty()) return false;
  output_.AddOutlineItem(core::VarToStr(links::Calc(report_, band.outline_text)), last_shown_top_);
  return true;
}

void TfrxEngine::WalkBands(const std::vector<DataBandNode*>& nodes) {
  for (DataBandNode* node : nodes) {
    if (Terminated()) return;
    WalkBand(*node);
  }
}

void TfrxEngine::ShowGroupHeaders(DataBandNode& node, size_t from, bool first_row) {
  for (size_t i = from; i < node.groups.size() && !Terminated(); ++i) {
    GroupState& group = node.groups[i];
    if (group.header->keep_together) StartKeep(group.header);
    first_row_band_ = first_row ? group.header : nullptr;
    group.rows = 0;
    group.last_value = links::Calc(report_, group.header->condition);
    SetLines(node.line, node.line_through);
    ShowBand(group.header);
    group.outlined = AddOutlineEntry(*group.header);
    first_row_band_ = nullptr;
    if (group.header->reprint_on_new_page) AddHeader(group.header);
  }
}

void TfrxEngine::ShowGroupFooters(DataBandNode& node, size_t down_to) {
  for (size_t i = node.groups.size(); i-- > down_to && !Terminated();) {
    GroupState& group = node.groups[i];
    RemoveHeader(group.header);
    if (group.footer && !(group.footer->hide_if_single_data_record && group.rows == 1)) {
      ShowBand(group.footer);
    }
    if (group.outlined) {
      output_.OutlineLevelUp();
      group.outlined = false;
    }
    if (group.header->keep_together) EndKeep(group.header);
  }
}

void TfrxEngine::ShowNodeFooter(DataBandNode& node) {
  if (!node.footer) return;
  TfrxDataBand& band = *node.band;
  const bool kept = band.keep_footer && StartKeep(node.footer);
  ShowBand(node.footer);
  if (kept) EndKeep(node.footer);
}

void TfrxEngine::WalkBand(DataBandNode& node) {
  TfrxDataBand& band = *node.band;
  TfrxDataSet& ds = *node.data_set;
  FireEvent(band.on_master_detail, &band);
  links::First(ds);
  node.line = 1;
  node.line_through = 1;
  links::ResetSuppressRepeated(band);
  bool first = true;
  bool kept_header = false;
  while (!links::Eof(ds) && !Terminated()) {
    CheckTerminatedByHost();
    if (!RowPrintable(node)) {
      links::Next(ds);
      continue;
    }
    if (first) {
      if (band.keep_header && node.header) kept_header = StartKeep(node.header);
      if (node.header) {
        SetLines(node.line, node.line_through);
        ShowBand(node.header);
        if (node.header->reprint_on_new_page) AddHeader(node.header);
      }
      for (GroupState& g : node.groups) g.rows = 0;
      ShowGroupHeaders(node, 0, true);
    } else {
      for (size_t i = 0; i < node.groups.size(); ++i) {
        GroupState& group = node.groups[i];
        core::Variant value = links::Calc(report_, group.header->condition);
        bool same = false;
        try {
          same = core::VarSameValue(value, group.last_value);
        } catch (const core::Exception&) {
          same = false;
        }
        if (same) continue;
        links::Prior(ds);
        ShowGroupFooters(node, i);
        links::Next(ds);
        ShowGroupHeaders(node, i, false);
        node.line = 1;
        break;
      }
    }
    SetLines(node.line, node.line_through);
    const bool kept_row = band.keep_together && StartKeep(&band);
    first_row_band_ = first ? &band : nullptr;
    ShowBand(&band);
    first_row_band_ = nullptr;
    if (kept_header) {
      EndKeep(node.header);
      kept_header = false;
    }
    for (GroupState& g : node.groups) ++g.rows;
    ++node.line;
    ++node.line_through;
    const bool outlined = AddOutlineEntry(band);
    WalkBands(node.sub_bands);
    if (outlined) output_.OutlineLevelUp();
    if (band.footer_after_each) ShowNodeFooter(node);
    if (kept_row) EndKeep(&band);
    first = false;
    links::Next(ds);
  }
  if (!first) {
    ShowGroupFooters(node, 0);
    if (node.header) RemoveHeader(node.header);
    if (!band.footer_after_each) ShowNodeFooter(node);
  }
}

}  // namespace lgoty::report
