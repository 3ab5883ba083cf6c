// Runs a report with a screen and shows its pages as they are made: the list report of the
// register program calls this.
#pragma once

class QWidget;

namespace lgoty::report {
class TfrxReport;
}

namespace lgoty::ui {

// Runs the report (its dialog pages as Qt windows over parent) inside a modal preview
// window that shows every page as soon as the engine made it; Отмена stops the run. When the
// run ends with no pages and no errors (the operator cancelled a dialog) the window closes
// at once. Errors of the run are thrown as one core::Exception (the report's error lines
// joined with line breaks) once the window has closed; exceptions of the run itself are
// rethrown then too. The report's dialog host is put back as it was.
void ShowReport(report::TfrxReport& report, QWidget* parent);

}  // namespace lgoty::ui
