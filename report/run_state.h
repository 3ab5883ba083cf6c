// TfrxRunState: the counters of a report run that the band engine keeps and expressions
// read. The engine owns the values (it writes them as it builds pages); TfrxExpressions
// holds the one instance of a report (report.Expressions().State()).
#pragma once

#include <string>

#include "core/date_time.h"

namespace lgoty::report {

class TfrxBand;

struct TfrxRunState {
  // Date and Time: when the run started.
  core::TDateTime start_date = 0;
  core::TDateTime start_time = 0;
  // Page: the page number within the current numbering part (from 1); Page#: the physical
  // page number (from 1).
  int page = 1;
  int page_physical = 1;
  // TotalPages: pages of the current numbering part; TotalPages#: all pages (known after
  // the first pass of a two-pass run).
  int total_pages = 0;
  int total_pages_all = 0;
  // Line: the row within its data band (from 1); Line#: the running row number.
  int line = 0;
  int line_all = 0;
  // The name of the object being processed; prefixes expression errors ("Memo3: ...").
  std::string current_object;
  // The band being printed: aggregate calls are matched to items whose parent band is this
  // one. nullptr outside printing (aggregates then give Null).
  const TfrxBand* current_band = nullptr;
  // The vertical column being printed (0: none), for the per-column aggregate arrays.
  int current_column = 0;

  // Sets Date and Time from the clock.
  void StartNow();
};

}  // namespace lgoty::report
