// The data side of lgoty-report expand: connecting the template's data sets to a folder of
// registers and moving them to their first row.
#pragma once

#include <string>

namespace lgoty::report {
class TfrxReport;
}

namespace lgoty::tools {

// Points every ADO connection of the report at the folder.
void ConnectDataSets(report::TfrxReport& report, const std::string& folder);
// Opens every data set of the report's Datasets list and moves it to its first row.
void OpenDataSetsAtFirstRow(report::TfrxReport& report);

}  // namespace lgoty::tools
