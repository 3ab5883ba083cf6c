// The data side of lgoty-report expand: a connection over a folder of registers that the
// template's ADO data sets run on, and moving the report's data sets to their first row.
#pragma once

#include <memory>
#include <string>

namespace lgoty::sql {
class TAdoConnection;
}

namespace lgoty::report {
class TfrxReport;
class TfrxADOComponents;
}  // namespace lgoty::report

namespace lgoty::tools {

// The connection the register program makes over a register's folder, made the default
// connection of ADO data sets without a database of their own. It must exist before the
// template is loaded and outlive the report (the queries borrow it).
class FolderConnection {
 public:
  // Throws the connection's error (unsupported string, missing folder).
  explicit FolderConnection(const std::string& folder);
  ~FolderConnection();
  FolderConnection(const FolderConnection&) = delete;
  FolderConnection& operator=(const FolderConnection&) = delete;

 private:
  std::unique_ptr<sql::TAdoConnection> connection_;
  std::unique_ptr<report::TfrxADOComponents> components_;
};

// Starts the run of every data set of the report's Datasets list, as the band engine does,
// and moves it to its first row (a query opens there). Errors go to the report's list.
void OpenDataSetsAtFirstRow(report::TfrxReport& report);
// Ends the runs started above (the host datasets get their cursors back).
void FinishDataSets(report::TfrxReport& report);

}  // namespace lgoty::tools
