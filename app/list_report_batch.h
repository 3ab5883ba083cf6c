// lgoty --list-report REGISTER.dbf --pdf OUT.pdf [--all]: the list report without windows.
//
// The register opens as the Open command opens it (stamped, exclusive, surname tag), the
// List report command runs on it with its dialog answered as an operator would ("Больше 0"
// checked, or unchecked with --all, then ОК), and the prepared pages go to the PDF file
// instead of the preview. The register is closed afterwards. Every message the commands
// would show goes to standard error; the result is 0 when the PDF was written, 1 otherwise
// (and then no PDF is left behind).
#pragma once

#include <string>

namespace lgoty::app {

int RunListReportBatch(const std::string& register_path, const std::string& pdf_path,
                       bool all_rows);

}  // namespace lgoty::app
