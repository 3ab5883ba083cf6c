// The lgoty-dbf commands that run on the table dataset (TDbf): walking a table in an index
// order or through a filter, with the dataset's rules for deleted records and filter options,
// and Locate as the dataset decides it (on an index whose key is the field list, else by
// scanning). Output is JSON lines like the other commands.
#pragma once

#include <iosfwd>
#include <string>

namespace lgoty::tools {

struct DatasetView {
  std::string index;   // IndexName ("" = physical order)
  std::string filter;  // Filter text ("" = none)
  bool case_insensitive = false;    // FilterOptions
  bool no_partial_compare = false;  // FilterOptions
  bool show_deleted = false;
  bool raw = false;
};

void DumpDatasetCommand(const std::string& path, const DatasetView& view, std::ostream& out);

// fields "A;B", values "x;y" (one per field). Prints the record found; false when none is.
bool LocateCommand(const std::string& path, const std::string& fields, const std::string& values,
                   bool partial, bool case_insensitive, const DatasetView& view,
                   std::ostream& out);

}  // namespace lgoty::tools
