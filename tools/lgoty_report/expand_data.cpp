#include "tools/lgoty_report/expand_data.h"

#include "core/exception.h"
#include "report/report.h"

namespace lgoty::tools {

void ConnectDataSets(report::TfrxReport& report, const std::string& folder) {
  (void)report;
  throw core::Exception("Connections are not available yet: " + folder);
}

void OpenDataSetsAtFirstRow(report::TfrxReport& report) { (void)report; }

}  // namespace lgoty::tools
