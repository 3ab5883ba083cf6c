// lgoty-report run: builds a report from a template and writes the prepared pages.
//
//   lgoty-report run TEMPLATE [--connection FOLDER] [--var NAME=VALUE]...
//       [--set OBJECT.PROPERTY=VALUE]... [--click BUTTON | --cancel]
//       (--pdf FILE | --png FOLDER [--dpi N] | --fp3 FILE)...
//
// --connection  the folder whose registers the template's queries read (the default ADO
//               connection of the run: the Jet connection string over that folder)
// --var         a report variable; the value is an expression text ('text', 1)
// --set         a dialog control or report object property, set before the dialog is
//               answered (dialog controls) or before the run (other objects)
// --click       the dialog button to press (default: the page's OK button)
// --cancel      close the dialogs with their close box (the run then builds nothing)
// Several outputs may be asked at once. The run's errors go to stderr with exit status 1
// and no output file is written; a cancelled dialog writes nothing and exits with 3.
#pragma once

namespace lgoty::tools {

int RunReportCommand(int argc, char** argv);

}  // namespace lgoty::tools
