// lgoty-report convert: draws the pages of a prepared report (.fp3) into files.
//
//   lgoty-report convert FILE.fp3 (--pdf FILE | --png FOLDER [--dpi N])...
//
// The pages are drawn exactly as `run` draws the pages it built (the same export), one PDF
// page or one PNG image (FOLDER/page-NNNN.png, 96 dots per inch unless --dpi says) per
// prepared page. A file that cannot be read as a prepared report, or one without pages,
// gives its message on stderr and exit status 1, and no output file is left behind; bad
// usage gives exit status 2. Needs no display.
#pragma once

namespace lgoty::tools {

// argv[0] is the program, argv[1] "convert".
int RunConvertCommand(int argc, char** argv);

}  // namespace lgoty::tools
