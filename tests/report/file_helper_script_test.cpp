// The settings-file and XML classes reached from a report's script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "../sql/sql_fixture.h"
#include "report/expressions.h"
#include "report/ini_file.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/variables.h"

namespace lgoty::report {
namespace {

using core::Variant;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class FileHelperScript : public ::testing::Test {
 protected:
  // Prepares the script and runs its main block; false (with the message) when it does
  // not compile.
  void Run(const std::string& text) {
    report_.script_text.SetText(text);
    TfrxReportScript& script = report_.Expressions().Script();
    ASSERT_TRUE(script.Prepare()) << script.ErrorPos() << " " << script.ErrorMessage();
    script.RunMainBlock();
  }
  // A value the script stored with Set, as it stored it.
  Variant Out(const char* name) {
    TfrxVariable* v = report_.Expressions().Variables().Find(name);
    return v != nullptr ? v->value : Variant::Null();
  }
  std::string Path(const char* name) { return folder_.File(name); }

  sql::testing::ScratchFolder folder_;
  TfrxReport report_;
};

TEST_F(FileHelperScript, AnIniFileIsReadAndWrittenByTheScript) {
  std::ofstream(Path("a.ini"), std::ios::binary)
      << "; settings\r\n[Report]\r\nTitle = Список\r\nCopies=$1F\r\n\r\n[Other]\r\nFlag=1\r\nbad line\r\n";
  Run("var ini: TIniFile; sl: TStringList;\r\n"
      "begin\r\n"
      "  ini := TIniFile.Create('" + Path("a.ini") + "');\r\n"
      "  Set('title', ini.ReadString('report', 'TITLE', 'none'));\r\n"
      "  Set('copies', ini.ReadInteger('Report', 'Copies', 0) + 1);\r\n"
      "  Set('missing', ini.ReadString('Report', 'Nope', 'dflt'));\r\n"
      "  Set('flag', ini.ReadBool('Other', 'Flag', False));\r\n"
      "  Set('notnumber', ini.ReadInteger('Report', 'Title', 7));\r\n"
      "  ini.WriteString('Report', 'Last', 'Иванов');\r\n"
      "  ini.WriteInteger('New', 'N', 5);\r\n"
      "  ini.DeleteKey('Other', 'FLAG');\r\n"
      "  sl := TStringList.Create;\r\n"
      "  ini.ReadSections(sl);\r\n"
      "  Set('sections', sl.CommaText);\r\n"
      "  ini.ReadSectionValues('report', sl);\r\n"
      "  Set('values', sl.Count);\r\n"
      "  Set('has', ini.SectionExists('NEW') and not ini.ValueExists('Other', 'Flag'));\r\n"
      "end.");
  EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  EXPECT_EQ(Out("title").AsString(), "Список");
  EXPECT_EQ(Out("copies").AsInt64(), 32);
  EXPECT_EQ(Out("missing").AsString(), "dflt");
  EXPECT_TRUE(Out("flag").AsBoolean());
  EXPECT_EQ(Out("notnumber").AsInt64(), 7);
  EXPECT_EQ(Out("sections").AsString(), "Report,Other,New");
  EXPECT_EQ(Out("values").AsInt64(), 3);
  EXPECT_TRUE(Out("has").AsBoolean());
  // Each change was written at once; comments and unknown lines stay where they were.
  EXPECT_EQ(ReadFile(Path("a.ini")),
            "; settings\r\n[Report]\r\nTitle=Список\r\nCopies=$1F\r\nLast=Иванов\r\n\r\n[Other]\r\nbad line\r\n"
            "[New]\r\nN=5\r\n");
}

TEST_F(FileHelperScript, AMemoryIniFileIsWrittenOnlyByUpdateFile) {
  const std::string path = Path("b.ini");
  Run("var mem: TMemIniFile;\r\n"
      "procedure Fill;\r\nbegin\r\n  mem := TMemIniFile.Create('" + path + "');\r\n"
      "  mem.WriteString('S', 'K', 'V');\r\n  mem.WriteBool('S', 'B', True);\r\nend;\r\n"
      "procedure Save;\r\nbegin\r\n  mem.UpdateFile;\r\nend;\r\n"
      "begin\r\nend.");
  std::vector<Variant> none;
  ASSERT_TRUE(report_.Expressions().Script().CallProcedure("Fill", none));
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_TRUE(report_.Expressions().Script().CallProcedure("Save", none));
  EXPECT_EQ(ReadFile(path), "[S]\r\nK=V\r\nB=1\r\n");
  TIniFile again(path);
  EXPECT_TRUE(again.ReadBool("s", "b", false));
}

TEST_F(FileHelperScript, AnXmlDocumentIsBuiltSavedAndReadByTheScript) {
  std::ofstream(Path("in.xml"), std::ios::binary)
      << "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?><reg><row FAMIL=\"Петров\" SUMPAY=\"10\"/>"
         "<row FAMIL=\"Сидоров &amp; сын\"/></reg>";
  Run("var doc: TfrxXMLDocument; item: TfrxXMLItem;\r\n"
      "begin\r\n"
      "  doc := TfrxXMLDocument.Create;\r\n"
      "  doc.Root.Name := 'list';\r\n"
      "  item := doc.Root.Add;\r\n"
      "  item.Name := 'person';\r\n"
      "  item.Prop['FAMIL'] := 'Иванов \"мл.\"';\r\n"
      "  doc.SaveToFile('" + Path("out.xml") + "');\r\n"
      "  doc.LoadFromFile('" + Path("in.xml") + "');\r\n"
      "  Set('root', doc.Root.Name);\r\n"
      "  Set('count', doc.Root.Count);\r\n"
      "  Set('second', doc.Root[1].Prop['famil']);\r\n"
      "  Set('found', doc.Root.Find('ROW'));\r\n"
      "  Set('parent', doc.Root[0].Parent.Name);\r\n"
      "  try\r\n    item.Name := 'x';\r\n  except\r\n    Set('stale', ExceptionMessage);\r\n  end;\r\n"
      "  doc.Root.Delete(0);\r\n"
      "  Set('left', doc.Root[0].Prop['FAMIL']);\r\n"
      "end.");
  EXPECT_EQ(report_.Errors().Count(), 0) << report_.Errors().Text();
  const std::string out = ReadFile(Path("out.xml"));
  EXPECT_NE(out.find("<list><person FAMIL=\"Иванов &#34;мл.&#34;\"/></list>"), std::string::npos) << out;
  EXPECT_EQ(Out("root").AsString(), "reg");
  EXPECT_EQ(Out("count").AsInt64(), 2);
  EXPECT_EQ(Out("second").AsString(), "Сидоров & сын");
  EXPECT_EQ(Out("found").AsInt64(), 0);
  EXPECT_EQ(Out("parent").AsString(), "reg");
  EXPECT_EQ(Out("stale").AsString(), "XML item was freed");
  EXPECT_EQ(Out("left").AsString(), "Сидоров & сын");
}

TEST_F(FileHelperScript, AnXmlDocumentThatCannotBeReadOrWrittenSaysWhy) {
  std::ofstream(Path("bad.xml"), std::ios::binary) << "<?xml version=\"1.0\"?><a><b></a>";
  const std::string missing = Path("missing.xml"), nowhere = Path("no/such/folder/out.xml");
  Run("var doc: TfrxXMLDocument;\r\n"
      "begin\r\n"
      "  doc := TfrxXMLDocument.Create;\r\n"
      "  doc.Root.Name := 'kept';\r\n"
      "  try doc.LoadFromFile('" + missing + "'); except Set('missing', ExceptionMessage); end;\r\n"
      "  try doc.LoadFromFile('" + Path("bad.xml") + "'); except Set('bad', ExceptionMessage); end;\r\n"
      "  doc.Root.Name := 'saved';\r\n"
      "  try doc.SaveToFile('" + nowhere + "'); except Set('nowhere', ExceptionMessage); end;\r\n"
      "end.");
  EXPECT_EQ(Out("missing").AsString(), "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(Out("bad").AsString(), "Invalid file format");
  EXPECT_EQ(Out("nowhere").AsString().rfind("Cannot open file \"" + nowhere + "\". ", 0), 0u) << Out("nowhere").AsString();
  EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
}  // namespace lgoty::report
