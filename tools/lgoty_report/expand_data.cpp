#include "tools/lgoty_report/expand_data.h"

#include <exception>

#include "report/data_sets.h"
#include "report/engine_links.h"
#include "report/query_data_sets.h"
#include "report/report.h"
#include "sql/ado_connection.h"

namespace lgoty::tools {

FolderConnection::FolderConnection(const std::string& folder)
    : connection_(std::make_unique<sql::TAdoConnection>()),
      components_(std::make_unique<report::TfrxADOComponents>()) {
  connection_->SetLoginPrompt(false);
  connection_->SetConnectionString(sql::FolderConnectionString(folder));
  connection_->Open();
  components_->SetDefaultDatabase(connection_.get());
}

// The components go first: they forget the connection before it closes.
FolderConnection::~FolderConnection() {
  components_.reset();
  connection_.reset();
}

void OpenDataSetsAtFirstRow(report::TfrxReport& report) {
  for (report::TfrxDataSet* ds : report::engine_links::ReportDataSets(report)) {
    try {
      report::engine_links::StartRun(*ds);
      report::engine_links::First(*ds);
    } catch (const std::exception& e) {
      report.Errors().Add(e.what());
    }
  }
}

void FinishDataSets(report::TfrxReport& report) {
  for (report::TfrxDataSet* ds : report::engine_links::ReportDataSets(report)) {
    try {
      report::engine_links::FinishRun(*ds);
    } catch (const std::exception& e) {
      report.Errors().Add(e.what());
    }
  }
}

}  // namespace lgoty::tools
