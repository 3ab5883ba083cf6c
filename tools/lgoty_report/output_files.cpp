#include "tools/lgoty_report/output_files.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/exception.h"
#include "render/prepared_pages_export.h"
#include "report/prepared_pages.h"
#include "report/report.h"

namespace lgoty::tools {

namespace fs = std::filesystem;

namespace {

fs::path PartialName(const std::string& target) {
  fs::path temp(target);
  temp += ".partial";
  return temp;
}

void WriteOne(report::TfrxReport& report, const OutputFile& out, const fs::path& temp) {
  switch (out.kind) {
    case OutputFile::Kind::Pdf:
      if (!render::ExportPdf(report, temp.string())) {
        throw core::Exception("Cannot write " + out.path);
      }
      break;
    case OutputFile::Kind::Fp3:
      report.PreviewPages().SaveToFile(temp.string());
      break;
    case OutputFile::Kind::Png:
      if (!render::ExportPng(report, temp.string(), out.dpi)) {
        throw core::Exception("Cannot write into " + out.path);
      }
      break;
  }
}

// Moves a finished output to its name; the pages of a PNG folder go into the target folder.
void Publish(const fs::path& temp, const fs::path& target) {
  if (fs::is_directory(temp)) {
    fs::create_directories(target);
    for (const auto& entry : fs::directory_iterator(temp)) {
      fs::rename(entry.path(), target / entry.path().filename());
    }
    std::error_code ignored;
    fs::remove_all(temp, ignored);
  } else {
    fs::rename(temp, target);
  }
}

// The file an output name reaches: links among its folders (and a link at the name itself)
// resolved, so that "dir/x" and "link-to-dir/x" count as one file.
fs::path ResolvedTarget(const std::string& path) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(fs::absolute(path), error);
  if (error) return fs::absolute(path).lexically_normal();
  return resolved;
}

}  // namespace

std::string PartialPath(const std::string& target) { return PartialName(target).string(); }

void WriteOutputs(report::TfrxReport& report, const std::vector<OutputFile>& outputs,
                  int written_index) {
  try {
    // Outputs of one file would share their temporary and the second rename would fail
    // after the first had published: refused before anything is written or renamed.
    for (size_t i = 0; i < outputs.size(); ++i) {
      const fs::path target = ResolvedTarget(outputs[i].path);
      for (size_t j = 0; j < i; ++j) {
        if (ResolvedTarget(outputs[j].path) == target) {
          throw core::Exception("Two outputs are written to " + outputs[i].path);
        }
      }
    }
    for (size_t i = 0; i < outputs.size(); ++i) {
      if (static_cast<int>(i) == written_index) continue;
      const OutputFile& out = outputs[i];
      const fs::path temp = PartialName(out.path);
      fs::remove_all(temp);  // what a killed earlier run may have left
      WriteOne(report, out, temp);
    }
    for (const OutputFile& out : outputs) Publish(PartialName(out.path), out.path);
  } catch (...) {
    std::error_code ignored;
    for (const OutputFile& out : outputs) fs::remove_all(PartialName(out.path), ignored);
    throw;
  }
}

bool ParseOutputOption(int argc, char** argv, int& i, bool allow_fp3,
                       std::vector<OutputFile>& outputs) {
  const std::string arg = argv[i];
  if (i + 1 >= argc) return false;
  const std::string value = argv[i + 1];
  if (arg == "--pdf" || arg == "--png" || (allow_fp3 && arg == "--fp3")) {
    OutputFile::Kind kind = arg == "--pdf"   ? OutputFile::Kind::Pdf
                            : arg == "--png" ? OutputFile::Kind::Png
                                             : OutputFile::Kind::Fp3;
    outputs.push_back({kind, value, 96});
  } else if (arg == "--dpi") {
    if (outputs.empty() || outputs.back().kind != OutputFile::Kind::Png) return false;
    char* end = nullptr;
    long dpi = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str() || *end || dpi < 10 || dpi > 1200) return false;
    outputs.back().dpi = static_cast<int>(dpi);
  } else {
    return false;
  }
  i += 1;
  return true;
}

}  // namespace lgoty::tools
