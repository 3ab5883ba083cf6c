// The system library's edge cases: character positions in UTF-8 text, rounding, errors
// that scripts can catch, arrays, streams, and what the library refuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "script_runner.h"

namespace lgoty::script {
namespace {

using testing::EnglishSettings;
using testing::RunScript;

std::string Out(const std::string& text) {
  EnglishSettings english;
  auto r = RunScript(text);
  if (!r.compiled) return "compile error " + r.error_pos + ": " + r.error;
  return r.Output();
}

TEST(SystemLibrary, StringFunctionsCountCharacters) {
  EXPECT_EQ(Out("var s: String; begin s := 'ёжик'; ShowMessage(Copy(s, 2, 2)); ShowMessage(Pos('к', s)); "
                "Delete(s, 1, 1); ShowMessage(s); Insert('Ё', s, 1); ShowMessage(s); end."),
            "жи\n4\nжик\nЁжик\n");
  EXPECT_EQ(Out("begin ShowMessage('[' + Copy('abc', 5, 1) + ']'); ShowMessage('[' + Copy('abc', 2, -1) + ']'); end."),
            "[]\n[]\n");
}

TEST(SystemLibrary, RoundingHalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(Out("begin ShowMessage(Round(0.5)); ShowMessage(Round(1.5)); ShowMessage(Round(-1.5)); "
                "ShowMessage(Trunc(-1.7)); ShowMessage(Round(1e10)); end."),
            "0\n2\n-2\n-1\n10000000000\n");
  EXPECT_EQ(Out("begin ShowMessage(Round(1e300)); end."), "error: Invalid floating point operation\n");
  EXPECT_EQ(Out("begin ShowMessage(Ln(0)); end."), "error: Invalid floating point operation\n");
  EXPECT_EQ(Out("begin ShowMessage(Sqrt(-1)); end."), "error: Invalid floating point operation\n");
}

TEST(SystemLibrary, ConversionErrorsAreCatchable) {
  EXPECT_EQ(Out("begin try StrToFloat('1,5'); except ShowMessage(ExceptionClassName); end; "
                "try StrToDate('31/31/2020'); except ShowMessage(ExceptionMessage); end; end."),
            "EConvertError\n'31/31/2020' is not a valid date\n");
}

TEST(SystemLibrary, AutomationObjectsAreRefusedWithAClearError) {
  EXPECT_EQ(Out("begin try CreateOleObject('Word.Application'); except ShowMessage(ExceptionMessage); end; end."),
            "CreateOleObject: automation objects are not available ('Word.Application')\n");
}

TEST(SystemLibrary, VarArrayCreateChecksItsBounds) {
  EXPECT_EQ(Out("var a: Variant; begin a := VarArrayCreate([2, 4], varDouble); ShowMessage(a[2] + a[4]); "
                "ShowMessage(Length(a)); end."),
            "0\n3\n");
  EXPECT_EQ(Out("begin VarArrayCreate([0], varInteger); end."),
            "error: VarArrayCreate: bounds must be pairs of low and high\n");
  EXPECT_EQ(Out("begin VarArrayCreate([0, 100000000], varInteger); end."), "error: VarArrayCreate: array too large\n");
  EXPECT_EQ(Out("var a: array[1..100000000] of Integer; begin end."), "compile error 1:14: Array bounds out of range");
}

TEST(SystemLibrary, StreamsAndStringListsTouchOnlyTheFileNamed) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("lgoty_script_files_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string file = (dir / "list.txt").string();
  const std::string text = "var l: TStringList; m: TMemoryStream; begin l := TStringList.Create; l.Add('one'); "
                           "l.Add('two'); l.SaveToFile('" + file + "'); l.Clear; l.LoadFromFile('" + file + "'); "
                           "ShowMessage(l.Count); m := TMemoryStream.Create; m.LoadFromFile('" + file + "'); "
                           "ShowMessage(m.Size); end.";
  EXPECT_EQ(Out(text), "2\n10\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  EXPECT_NE(Out("var l: TStringList; begin l := TStringList.Create; l.LoadFromFile('" + (dir / "none").string() +
                "'); end."),
            "");
  fs::remove_all(dir);
}

TEST(SystemLibrary, FileStreamModesAndTheirErrors) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("lgoty_script_streams_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string list = (dir / "list.txt").string(), copy = (dir / "copy.bin").string();
  const std::string missing = (dir / "missing.bin").string();
  const std::string text =
      "var l: TStringList; m: TMemoryStream; f, g: TFileStream; begin l := TStringList.Create; l.Add('one'); "
      "l.SaveToFile('" + list + "'); m := TMemoryStream.Create; m.LoadFromFile('" + list + "'); "
      "f := TFileStream.Create('" + list + "', fmOpenRead); ShowMessage(f.ClassName); ShowMessage(f.Size); "
      "try f.CopyFrom(m, 0); except ShowMessage(ExceptionMessage); end; "
      "g := TFileStream.Create('" + copy + "', fmCreate); ShowMessage(g.CopyFrom(m, 0)); ShowMessage(g.Size); "
      "g.Position := 1; m.Position := 0; ShowMessage(g.CopyFrom(m, 2)); ShowMessage(g.Size); "
      "try TFileStream.Create('" + missing + "', fmOpenReadWrite); except ShowMessage(ExceptionMessage); end; "
      "try TFileStream.Create('" + dir.string() + "', fmOpenRead); except ShowMessage('directory refused'); end; "
      "end.";
  EXPECT_EQ(Out(text), "TFileStream\n5\nStream write error on \"" + list + "\"\n5\n5\n2\n5\nCannot open file \"" +
                           missing + "\". No such file or directory\ndirectory refused\n");
  {
    std::ifstream in(copy, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "oon\r\n");
  }
  // Create empties an existing file; a failed open creates nothing.
  EXPECT_EQ(Out("var g: TFileStream; begin g := TFileStream.Create('" + list + "', fmCreate); ShowMessage(g.Size); end."),
            "0\n");
  EXPECT_FALSE(fs::exists(missing));
  fs::remove_all(dir);
}

TEST(SystemLibrary, ObjectsUsedAfterFreeStayHarmless) {
  EXPECT_EQ(Out("var l: TStringList; begin l := TStringList.Create; l.Add('a'); l.Free; ShowMessage(l.Count); "
                "l.Add('b'); ShowMessage(l[0]); end."),
            "0\nb\n");
  EXPECT_EQ(Out("var l: TStringList; begin l.Add('x'); end."), "error: Object of class TStrings required\n");
}

TEST(SystemLibrary, RandomStaysInItsRange) {
  EXPECT_EQ(Out("var i: Integer; ok: Boolean; x: Double; begin ok := True; Randomize; for i := 1 to 1000 do begin "
                "x := Random; if (x < 0) or (x >= 1) then ok := False; end; ShowMessage(ok); end."),
            "True\n");
}

}  // namespace
}  // namespace lgoty::script
