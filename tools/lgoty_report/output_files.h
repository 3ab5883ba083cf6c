// The output files of lgoty-report run and convert: a PDF file, a folder of PNG pages or a
// prepared report (.fp3), written from a report's prepared pages.
#pragma once

#include <string>
#include <vector>

namespace lgoty::report {
class TfrxReport;
}

namespace lgoty::tools {

struct OutputFile {
  enum class Kind { Pdf, Png, Fp3 } kind;
  std::string path;
  int dpi = 96;  // PNG only
};

// Writes every output under a temporary name beside its target (PATH.partial) and renames
// them all once every one was written, so that a failure leaves no file behind: what was
// written is removed and the exception (core::Exception or a file system error) goes to
// the caller; two outputs of one path fail so too, before any is written. A PNG folder
// that exists already keeps its other files. The output at written_index (if any) was
// written already under its temporary name (the PDF drawn during the run) and is only
// renamed with the others.
void WriteOutputs(report::TfrxReport& report, const std::vector<OutputFile>& outputs,
                  int written_index = -1);

// The temporary name an output is written under: PATH.partial.
std::string PartialPath(const std::string& target);

// Parses the words of the output options at argv[i]: "--pdf FILE", "--png FOLDER" or
// "--fp3 FILE" (when allowed), and "--dpi N" after a --png. Advances i past what it used.
// False when argv[i] is none of these or its value is missing or out of range (the DPI
// takes 10 to 1200).
bool ParseOutputOption(int argc, char** argv, int& i, bool allow_fp3,
                       std::vector<OutputFile>& outputs);

}  // namespace lgoty::tools
