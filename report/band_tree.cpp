#include "report/band_tree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <typeinfo>

#include "report/pages.h"
#include "report/resources.h"

namespace lgoty::report {

namespace {

struct KindEntry {
  const char* class_name;
  int number;
};

// Band classes by name: a band's kind is decided here once.
constexpr KindEntry kKinds[] = {
    {"TfrxReportTitle", 0},  {"TfrxReportSummary", 1}, {"TfrxPageHeader", 2},
    {"TfrxPageFooter", 3},   {"TfrxHeader", 4},        {"TfrxFooter", 5},
    {"TfrxMasterData", 6},   {"TfrxDetailData", 7},    {"TfrxSubdetailData", 8},
    {"TfrxDataBand4", 9},    {"TfrxDataBand5", 10},    {"TfrxDataBand6", 11},
    {"TfrxGroupHeader", 12}, {"TfrxGroupFooter", 13},  {"TfrxChild", 14},
    {"TfrxColumnHeader", 15}, {"TfrxColumnFooter", 16}, {"TfrxOverlay", 17},
};

constexpr int kHeader = 4, kFooter = 5, kMaster = 6, kGroupHeader = 12, kGroupFooter = 13;

// Designer positions compare as numbers written with two decimals.
double SortKey(const TfrxBand& band, bool vertical) {
  double v = vertical ? band.Left() : band.Top();
  return std::round(v * 100.0) / 100.0;
}

std::string ErrorLine(const char* key, const TfrxBand& band) {
  return frxGet(key) + " " + band.Name();
}

}  // namespace

int BandNumberOfClass(const char* class_name) {
  for (const KindEntry& e : kKinds) {
    if (std::strcmp(e.class_name, class_name) == 0) return e.number;
  }
  return -1;
}

int BandNumber(const TfrxBand& band) {
  // The class name, and so the number, follows from the band's exact class: the number is
  // looked up by name once per class and thread and then found by the class's type record.
  struct Known {
    const std::type_info* type = nullptr;
    int number = -1;
  };
  constexpr size_t kKnown = 16;  // more kinds than a page usually has; replaced round robin
  thread_local std::array<Known, kKnown> known{};
  thread_local size_t next = 0;
  const std::type_info* type = &typeid(band);
  for (const Known& k : known) {
    if (k.type == type) return k.number;
  }
  const int number = BandNumberOfClass(band.ClassName());
  known[next] = {type, number};
  next = (next + 1) % kKnown;
  return number;
}

bool IsDataBandNumber(int number) { return number >= 6 && number <= 11; }

DataBandNode* BandTree::NodeOf(const TfrxBand* band) const {
  for (const auto& n : nodes) {
    if (n->band == band) return n.get();
  }
  return nullptr;
}

DataBandNode* BandTree::OwnerOf(const TfrxBand* band) const {
  for (const auto& n : nodes) {
    if (n->header == band || n->footer == band) return n.get();
    for (const GroupState& g : n->groups) {
      if (g.header == band || g.footer == band) return n.get();
    }
  }
  return nullptr;
}

void BuildBandTree(TfrxReportPage& page, bool vertical, BandTree& tree) {
  struct Entry {
    TfrxBand* band;
    int number;
    double key;
    bool used;
  };
  std::vector<Entry> ordered;
  for (int i = 0; i < page.ObjectCount(); ++i) {
    auto* band = dynamic_cast<TfrxBand*>(page.Object(i));
    if (!band || band->vertical != vertical) continue;
    int number = BandNumber(*band);
    switch (number) {
      case 0: if (!tree.title) tree.title = static_cast<TfrxReportTitle*>(band); break;
      case 1: if (!tree.summary) tree.summary = static_cast<TfrxReportSummary*>(band); break;
      case 2: if (!tree.page_header) tree.page_header = static_cast<TfrxPageHeader*>(band); break;
      case 3: if (!tree.page_footer) tree.page_footer = static_cast<TfrxPageFooter*>(band); break;
      case 15:
        if (!tree.column_header) tree.column_header = static_cast<TfrxColumnHeader*>(band);
        break;
      case 16:
        if (!tree.column_footer) tree.column_footer = static_cast<TfrxColumnFooter*>(band);
        break;
      case 17: if (!tree.overlay) tree.overlay = static_cast<TfrxOverlay*>(band); break;
      default: break;
    }
    if (number >= kHeader && number <= kGroupFooter) {
      ordered.push_back({band, number, SortKey(*band, vertical), false});
    }
  }
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const Entry& a, const Entry& b) { return a.key < b.key; });

  // A node for every data band; the data set is the band's own or its row counter.
  for (Entry& e : ordered) {
    if (!IsDataBandNumber(e.number)) continue;
    auto node = std::make_unique<DataBandNode>();
    node->band = static_cast<TfrxDataBand*>(e.band);
    if (TfrxDataSet* ds = node->band->data_set.Get()) {
      node->data_set = ds;
    } else if (node->band->row_count > 0) {
      node->data_set = &node->band->VirtualDataSet();
    }
    tree.nodes.push_back(std::move(node));
  }
  auto node_at = [&](size_t index) { return tree.NodeOf(ordered[index].band); };

  // Group chains: consecutive group headers belong to the next data band.
  std::vector<size_t> chain;
  for (size_t i = 0; i < ordered.size(); ++i) {
    if (ordered[i].number == kGroupHeader) {
      chain.push_back(i);
      continue;
    }
    if (IsDataBandNumber(ordered[i].number) && !chain.empty()) {
      DataBandNode* node = node_at(i);
      for (size_t c : chain) {
        GroupState g;
        g.header = static_cast<TfrxGroupHeader*>(ordered[c].band);
        node->groups.push_back(g);
        ordered[c].used = true;
      }
    }
    if (IsDataBandNumber(ordered[i].number)) chain.clear();
  }
  // Group footers: the nearest group header above that has no footer yet.
  for (size_t i = 0; i < ordered.size(); ++i) {
    if (ordered[i].number != kGroupFooter) continue;
    for (size_t j = i; j-- > 0;) {
      if (ordered[j].number != kGroupHeader || !ordered[j].used) continue;
      DataBandNode* owner = tree.OwnerOf(ordered[j].band);
      GroupState* group = nullptr;
      for (GroupState& g : owner->groups) {
        if (g.header == ordered[j].band) group = &g;
      }
      if (group && !group->footer) {
        group->footer = static_cast<TfrxGroupFooter*>(ordered[i].band);
        ordered[i].used = true;
        break;
      }
    }
  }
  // Headers and footers: next to their data band, group bands allowed in between.
  for (size_t i = 0; i < ordered.size(); ++i) {
    if (ordered[i].number == kHeader) {
      size_t j = i + 1;
      while (j < ordered.size() && ordered[j].number == kGroupHeader) ++j;
      if (j < ordered.size() && IsDataBandNumber(ordered[j].number)) {
        DataBandNode* node = node_at(j);
        if (!node->header) {
          node->header = static_cast<TfrxHeader*>(ordered[i].band);
          ordered[i].used = true;
        }
      }
    } else if (ordered[i].number == kFooter) {
      // Below the group footers of a band the footer is that band's; otherwise it belongs
      // to the data band directly above.
      size_t j = i;
      DataBandNode* node = nullptr;
      while (j > 0 && ordered[j - 1].number == kGroupFooter) {
        --j;
        if (DataBandNode* owner = tree.OwnerOf(ordered[j].band)) node = owner;
      }
      if (!node && j > 0 && IsDataBandNumber(ordered[j - 1].number)) node = node_at(j - 1);
      if (node) {
        if (!node->footer) {
          node->footer = static_cast<TfrxFooter*>(ordered[i].band);
          ordered[i].used = true;
        }
      }
    }
  }
  // Nesting: masters with a data set are top level; the following bands of the next
  // number become their sub-bands.
  std::vector<DataBandNode*> stack;
  for (size_t i = 0; i < ordered.size(); ++i) {
    if (!IsDataBandNumber(ordered[i].number)) continue;
    DataBandNode* node = node_at(i);
    int number = ordered[i].number;
    if (!node->data_set) {
      // A data band without a data set takes no part in printing.
      ordered[i].used = true;
      continue;
    }
    while (!stack.empty() && BandNumber(*stack.back()->band) >= number) stack.pop_back();
    if (number == kMaster) {
      tree.top_level.push_back(node);
      stack.assign(1, node);
      ordered[i].used = true;
    } else if (!stack.empty() && BandNumber(*stack.back()->band) == number - 1) {
      stack.back()->sub_bands.push_back(node);
      stack.push_back(node);
      ordered[i].used = true;
    } else {
      stack.clear();
    }
  }
  for (const Entry& e : ordered) {
    if (e.used) continue;
    if (e.number == kGroupHeader) {
      tree.errors.push_back(ErrorLine("enUnconnGroup", *e.band));
    } else if (e.number == kGroupFooter) {
      tree.errors.push_back(ErrorLine("enUnconnGFooter", *e.band));
    } else if (e.number == kHeader || e.number == kFooter) {
      tree.errors.push_back(ErrorLine("enUnconnHeader", *e.band));
    } else {
      tree.errors.push_back(ErrorLine("enBandPos", *e.band));
    }
  }
}

}  // namespace lgoty::report
