// lgoty-report expand: prints the memo expansion of texts against a report.
#pragma once

namespace lgoty::tools {

// argv holds the arguments after "expand".
int RunExpand(int argc, char** argv);

}  // namespace lgoty::tools
