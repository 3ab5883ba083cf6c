// lgoty-report convert as a separate process: a prepared report written by `run` converts
// into the same PDF and PNG pages the run wrote itself, and what is no prepared report is
// refused with exit status 1 and no output file.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "render/prepared_pages_export.h"
#include "tests/render/command_output.h"
#include "tests/render/list_report_run.h"

namespace lgoty::render {
namespace {

namespace fs = std::filesystem;
using testing::ListPerson;
using testing::ListReportRun;

const std::string kTool = std::string(LGOTY_BINARY_DIR) + "/bin/lgoty-report";

struct ToolResult {
  int status = -1;
  std::string output;  // stdout and stderr
};

ToolResult RunTool(const std::string& args) {
  std::string out = lgoty::testing::CommandOutput(
      "QT_QPA_PLATFORM=offscreen " + kTool + " " + args + " 2>&1; echo \"#status $?\"");
  ToolResult result;
  const size_t at = out.rfind("#status ");
  if (at == std::string::npos) return result;
  result.status = std::stoi(out.substr(at + 8));
  result.output = out.substr(0, at);
  return result;
}

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// The pages of pdftotext's word boxes (the head with the file's dates left out).
std::string WordBoxes(const std::string& pdf) {
  std::string out = lgoty::testing::CommandOutput("pdftotext -bbox " + Quoted(pdf) + " -");
  const size_t at = out.find("<page");
  return at == std::string::npos ? std::string() : out.substr(at);
}

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Item names and attributes of two page items and everything below them.
void ExpectSameItems(core::TfrxXMLItem* a, core::TfrxXMLItem* b, const std::string& where) {
  ASSERT_EQ(a->Name(), b->Name()) << where;
  EXPECT_EQ(a->Text(), b->Text()) << where << "/" << a->Name();
  ASSERT_EQ(a->Count(), b->Count()) << where << "/" << a->Name();
  for (int i = 0; i < a->Count(); ++i) {
    ExpectSameItems(a->Items(i), b->Items(i), where + "/" + a->Name());
  }
}

std::vector<ListPerson> People() {
  std::vector<ListPerson> people;
  for (int n = 1; n <= 70; ++n) people.push_back(testing::ShortPerson(n));
  people[5].famil = "Тихомирова-Преображенская";
  people[5].imja = "Констанция-Эвелина";
  people[9].recept = "ЛС 325280";
  return people;
}

TEST(ConvertCommand, APreparedReportConvertsToThePagesOfTheDirectRun) {
  if (lgoty::testing::CommandOutput("command -v pdftotext").empty()) {
    GTEST_SKIP() << "poppler-utils is not installed (scripts/setup)";
  }
  ListReportRun run(People());
  QTemporaryDir dir;
  const fs::path out(dir.path().toStdString());
  // The variables are expression texts: quoted in single quotes inside the shell's double.
  const std::string vars = " --var \"OFile='" + run.RegisterPath() + "'\"" +
                           " --var \"OFPath='" + run.Folder() + "'\"" +
                           " --var \"OFName='med2024'\" --var \"usl='лекарства'\" --var vid=1";
  ToolResult direct = RunTool("run " + Quoted(testing::kListTemplate) + " --connection " +
                              Quoted(run.Folder()) + vars + " --fp3 " +
                              Quoted((out / "list.fp3").string()) + " --pdf " +
                              Quoted((out / "direct.pdf").string()) + " --png " +
                              Quoted((out / "direct").string()));
  ASSERT_EQ(direct.status, 0) << direct.output;
  ToolResult converted =
      RunTool("convert " + Quoted((out / "list.fp3").string()) + " --pdf " +
              Quoted((out / "converted.pdf").string()) + " --png " +
              Quoted((out / "converted").string()) + " --dpi 96");
  ASSERT_EQ(converted.status, 0) << converted.output;

  // The run in this process gives the pages the file holds, item by item.
  ASSERT_TRUE(run.Run());
  report::TfrxReport loaded;
  ASSERT_TRUE(loaded.PreviewPages().LoadFromFile((out / "list.fp3").string(), true));
  ASSERT_EQ(run.PageCount(), 2);
  ASSERT_EQ(loaded.PreviewPages().Count(), 2);
  for (int i = 0; i < 2; ++i) {
    ExpectSameItems(run.Report().PreviewPages().PageItem(i), loaded.PreviewPages().PageItem(i),
                    "page " + std::to_string(i + 1));
  }

  // Every word at the same place in both PDF files, and the same pixels in both PNG sets.
  const std::string boxes = WordBoxes((out / "direct.pdf").string());
  EXPECT_NE(boxes.find(">Тихомирова-Преображенская<"), std::string::npos);
  EXPECT_NE(boxes.find(">страница<"), std::string::npos);
  EXPECT_EQ(boxes, WordBoxes((out / "converted.pdf").string()));
  for (int i = 0; i < 2; ++i) {
    const std::string name = PngPageName(i);
    const std::string png = Bytes(out / "direct" / name);
    EXPECT_FALSE(png.empty()) << name;
    EXPECT_EQ(png, Bytes(out / "converted" / name)) << name;
  }
  EXPECT_FALSE(fs::exists(out / "converted" / PngPageName(2)));
  EXPECT_FALSE(fs::exists(out / "converted.pdf.partial"));
}

TEST(ConvertCommand, WhatIsNoPreparedReportGivesStatusOneAndNoFile) {
  QTemporaryDir dir;
  const fs::path out(dir.path().toStdString());
  std::ofstream(out / "garbage.fp3") << "garbage\x01\x02<preparedreport";
  std::ofstream(out / "template.fp3") << "<?xml version=\"1.0\"?><TfrxReport Version=\"4\"/>";
  std::ofstream(out / "empty.fp3") << "<?xml version=\"1.0\"?><preparedreport/>";
  for (const char* input : {"garbage.fp3", "template.fp3", "empty.fp3", "missing.fp3"}) {
    ToolResult result = RunTool("convert " + Quoted((out / input).string()) + " --pdf " +
                                Quoted((out / "out.pdf").string()) + " --png " +
                                Quoted((out / "png").string()));
    EXPECT_EQ(result.status, 1) << input << ": " << result.output;
    EXPECT_NE(result.output.find("lgoty-report: "), std::string::npos) << input;
    for (const char* left : {"out.pdf", "out.pdf.partial", "png", "png.partial"}) {
      EXPECT_FALSE(fs::exists(out / left)) << input << " left " << left;
    }
  }
  // Bad usage is status 2.
  EXPECT_EQ(RunTool("convert " + Quoted((out / "empty.fp3").string())).status, 2);
  EXPECT_EQ(RunTool("convert x.fp3 --fp3 y.fp3").status, 2);
  EXPECT_EQ(RunTool("convert x.fp3 --png dir --dpi 0").status, 2);
}

}  // namespace
}  // namespace lgoty::render
