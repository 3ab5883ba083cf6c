// The band tree of one report page, built before a run: which header, footer and group
// chain belongs to which data band, and how data bands nest (master, detail, subdetail ...).
//
// Band numbers order the kinds; data bands of levels 1..6 are numbers 6..11:
//   0 report title    1 report summary  2 page header   3 page footer   4 header
//   5 footer          6..11 data bands  12 group header 13 group footer 14 child
//   15 column header  16 column footer  17 overlay
// Bands of numbers 4..13 take part in the tree; they are ordered by their designer Top
// (Left for vertical bands) rounded to two decimals, and then:
//   - each run of consecutive group headers is one group chain (outermost first) that
//     belongs to the next data band in the order;
//   - each group footer belongs to the nearest group header above it that has none yet;
//   - a header directly above a data band (or above its group chain) is its header, a
//     footer directly below it (or below its group footers) its footer;
//   - a master data band with a data set is a top-level band of the page; the data bands
//     that follow with the next number (and a data set) are its sub-bands, recursively.
// Whatever is left over is an error line; a page whose tree has errors is not run.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/variant.h"
#include "report/bands.h"

namespace lgoty::report {

class TfrxReportPage;
class TfrxDataSet;

// The band number of a band's kind; -1 for the band base or an unknown kind.
int BandNumber(const TfrxBand& band);
// The same by the name of the band's class.
int BandNumberOfClass(const char* class_name);
bool IsDataBandNumber(int number);

struct GroupState {
  TfrxGroupHeader* header = nullptr;
  TfrxGroupFooter* footer = nullptr;
  core::Variant last_value;
  int rows = 0;  // rows printed in the current group
  bool outlined = false;  // the header added an outline entry that the group's end closes
};

// The run-time state of one data band.
struct DataBandNode {
  TfrxDataBand* band = nullptr;
  // The band's data set, or its private row-count data set.
  TfrxDataSet* data_set = nullptr;
  TfrxHeader* header = nullptr;
  TfrxFooter* footer = nullptr;
  std::vector<GroupState> groups;  // outermost first
  std::vector<DataBandNode*> sub_bands;
  int line = 1;          // Line: restarts with each group
  int line_through = 1;  // Line#: restarts when the data set starts again
};

struct BandTree {
  // Every data band node of the page (owned here), and the top-level ones in order.
  std::vector<std::unique_ptr<DataBandNode>> nodes;
  std::vector<DataBandNode*> top_level;
  // The bands of the page with a role of their own (first of each kind), when present.
  TfrxReportTitle* title = nullptr;
  TfrxReportSummary* summary = nullptr;
  TfrxPageHeader* page_header = nullptr;
  TfrxPageFooter* page_footer = nullptr;
  TfrxColumnHeader* column_header = nullptr;
  TfrxColumnFooter* column_footer = nullptr;
  TfrxOverlay* overlay = nullptr;
  // Error lines (resource text + blank + band name).
  std::vector<std::string> errors;

  DataBandNode* NodeOf(const TfrxBand* band) const;
  // The data band whose header or footer (or a group band) is this band; nullptr when none.
  DataBandNode* OwnerOf(const TfrxBand* band) const;
};

// Builds the tree of the page's bands with the given orientation.
void BuildBandTree(TfrxReportPage& page, bool vertical, BandTree& tree);

}  // namespace lgoty::report
