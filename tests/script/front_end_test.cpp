// Tokenizer, grammar interpreter and IL tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "script/grammar.h"
#include "script/language_registry.h"
#include "script/parser.h"
#include "script_runner.h"

namespace lgoty::script {
namespace {

using testing::RunScript;

TfsParser PascalParser(std::string_view text) {
  TfsParser p;
  p.SetKeywords({"begin", "end"});
  p.SetText(text);
  return p;
}

TEST(TfsParser, SkipsAllThreeCommentFormsAndBraceCommentEndsAtFirstBrace) {
  TfsParser p = PascalParser("{ a (* b } x // rest of line\n (* { *) y");
  EXPECT_EQ(p.GetIdent(), "x");
  EXPECT_EQ(p.GetIdent(), "y");
  EXPECT_EQ(p.GetIdent(), "");
}

TEST(TfsParser, StringsJoinQuotedPartsAndCharacterCodes) {
  TfsParser p = PascalParser("'It''s' 'A'#13#10'B' #$41#66 'open");
  EXPECT_EQ(p.GetString(), "'It's'");
  EXPECT_EQ(p.GetString(), "'A\r\nB'");
  EXPECT_EQ(p.GetString(), "'AB'");
  p.SkipSpaces();
  const int before = p.Position();
  EXPECT_EQ(p.GetString(), "");  // an unterminated part is no string
  EXPECT_EQ(p.Position(), before);
}

TEST(TfsParser, NumbersInDecimalExponentAndHexForms) {
  TfsParser p = PascalParser("12 3.25 1e5 2.5E-3 $FF 1..5 7e");
  EXPECT_EQ(p.GetNumber(), "12");
  EXPECT_EQ(p.GetNumber(), "3.25");
  EXPECT_EQ(p.GetNumber(), "1e5");
  EXPECT_EQ(p.GetNumber(), "2.5E-3");
  EXPECT_EQ(p.GetNumber(), "$FF");
  EXPECT_EQ(p.GetNumber(), "1");  // ".." is a range, not a decimal point
  EXPECT_EQ(p.GetChar(), ".");
  EXPECT_EQ(p.GetChar(false), ".");
  EXPECT_EQ(p.GetNumber(), "5");
  EXPECT_EQ(p.GetNumber(), "7");  // an exponent needs digits
}

TEST(TfsParser, OtherHexPrefixBecomesDollar) {
  ParserSettings s;
  s.hex_prefix = "0x";
  TfsParser p;
  p.Configure(s);
  p.SetText("0x1F");
  EXPECT_EQ(p.GetNumber(), "$1F");
}

TEST(TfsParser, EscapesWhenTheLanguageHasThem) {
  ParserSettings s;
  s.escapes = true;
  s.string_quote = '"';
  TfsParser p;
  p.Configure(s);
  p.SetText(R"("a\nb\x41\"")");
  EXPECT_EQ(p.GetString(), "'a\nbA\"'");
}

TEST(TfsParser, BracketedReportExpressionCountsNestingAndIgnoresQuotes) {
  TfsParser p = PascalParser("a<b>'>'[c]> rest");
  EXPECT_EQ(p.GetFRString(), "a<b>'>'[c]");
  EXPECT_EQ(p.GetChar(false), ">");
}

TEST(TfsParser, KeywordsIgnoreCaseUnlessCaseSensitive) {
  TfsParser p = PascalParser("");
  EXPECT_TRUE(p.IsKeyword("BEGIN"));
  ParserSettings s;
  s.case_sensitive = true;
  p.Configure(s);
  p.SetKeywords({"begin"});
  EXPECT_FALSE(p.IsKeyword("BEGIN"));
  EXPECT_TRUE(p.IsKeyword("begin"));
}

TEST(TfsParser, PositionsCountCharactersNotBytes) {
  TfsParser p = PascalParser("ab\nяя x");
  p.SetPosition(9);  // the "x": bytes 1-2 "ab", 3 LF, 4-7 "яя", 8 blank
  EXPECT_EQ(p.PosToString(9), "2:4");
  EXPECT_EQ(p.PosToString(1), "1:1");
}

TEST(TfsParser, ExtendedCharactersMakeCyrillicIdentifiers) {
  ParserSettings s;
  s.extended_chars = true;
  TfsParser p;
  p.Configure(s);
  p.SetText("Сумма1 := 1");
  EXPECT_EQ(p.GetIdent(), "Сумма1");
}

IlParseResult Parse(const std::string& text) {
  return TfsILParser::MakeILTree(text, "PascalScript", IlParseOptions());
}

TEST(IlTree, EmptyProgramAndPositionsOfNodes) {
  IlParseResult r = Parse("begin end.");
  ASSERT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(IlToXml(*r.root), "<?xml version=\"1.0\"?><program pos=\"1:1\"><compoundstmt pos=\"1:1\"/><types pos=\"0:0\"/></program>");
}

TEST(IlTree, ReportExpressionBecomesCallOfGet) {
  IlParseResult r = Parse("begin x := <OFName>; end.");
  ASSERT_TRUE(r.error.empty()) << r.error;
  const std::string xml = IlToXml(*r.root);
  EXPECT_NE(xml.find("<dsgn pos=\"1:13\"><node pos=\"1:13\" text=\"Get\"/><expr pos=\"1:13\" pos1=\"1:19\">"
                     "<string pos=\"1:13\" text=\"'OFName'\"/></expr></dsgn>"),
            std::string::npos)
      << xml;
}

TEST(IlTree, ExpressionsCarryTheirEndAndOperatorsTheirText) {
  IlParseResult r = Parse("begin x := -a + b * 2; end.");
  ASSERT_TRUE(r.error.empty());
  const std::string xml = IlToXml(*r.root);
  EXPECT_NE(xml.find("<expr pos=\"1:12\" pos1=\"1:22\"><op pos=\"1:12\" text=\"unminus\"/>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<op pos=\"1:15\" text=\"+\"/>"), std::string::npos);
}

struct ErrorCase {
  const char* text;
  const char* message;
  const char* pos;
};

TEST(Grammar, ErrorTextsAndPositions) {
  const ErrorCase cases[] = {
      {"begin end", "'.' expected", "1:10"},
      {"begin x := ; end.", "Expression expected", "1:12"},
      {"begin x := 1 y := 2 end.", "';' expected", "1:14"},
      {"program ; begin end.", "Identifier expected", "1:9"},
      {"var x Integer; begin end.", "':' expected", "1:7"},
      {"const c 1; begin end.", "'=' expected", "1:9"},
      {"var x: Integer; x := 1;", "'BEGIN' expected", "1:17"},
      {"begin if x then y := 1 else end.", "", ""},
      {"begin if x y := 1; end.", "'THEN' expected", "1:12"},
      {"begin case x 1: ; end; end.", "'OF' expected", "1:14"},
      {"begin case x of 1: y := 2; 3 end.", "'END' expected", "1:28"},
      {"begin repeat x := 1; end.", "'UNTIL' expected", "1:22"},
      {"begin for i = 1 to 2 do; end.", "':' expected", "1:13"},
      {"begin for i := 1 too 2 do; end.", "'TO' or 'DOWNTO' expected", "1:18"},
      {"begin while x y := 1; end.", "'DO' expected", "1:15"},
      {"begin try x := 1; end; end.", "'FINALLY' or 'EXCEPT' expected", "1:19"},
      {"begin try x := 1; finally y := 1 . end.", "'END' expected", "1:34"},
      {"begin try x := 1; finally y := 1; end.", "';' expected", "1:38"},
      {"begin x := (1 + 2; end.", "')' expected", "1:18"},
      {"begin x := a[1; end.", "']' expected", "1:15"},
      {"begin x := <abc]; end.", "'>' expected", "1:16"},
      {"begin x : 1; end.", "'=' expected", "1:11"},
  };
  for (const auto& c : cases) {
    IlParseResult r = Parse(c.text);
    EXPECT_EQ(r.error, c.message) << c.text;
    EXPECT_EQ(r.error_pos, c.pos) << c.text;
  }
}

TEST(Grammar, LastStatementNeedsNoSemicolonAndCaseMayEndWithOne) {
  EXPECT_TRUE(Parse("begin x := 1 end.").error.empty());
  EXPECT_TRUE(Parse("begin case x of 1: y := 1; 2, 3..4: y := 2; else y := 3; end; end.").error.empty());
  EXPECT_TRUE(Parse("begin ; ; end.").error.empty());
  // A range between names is no member access ("a." followed by "." ends the designator).
  EXPECT_TRUE(Parse("begin x := y in [a..b, c.d..e.f]; end.").error.empty());
  EXPECT_FALSE(Parse("begin x := a.; end.").error.empty());
}

TEST(Grammar, LanguageLineSelectsTheLanguageWhateverTheHostChose) {
  IlParseResult r = TfsILParser::MakeILTree("#language PascalScript\nbegin end.", "NoSuchLanguage", IlParseOptions());
  EXPECT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(r.language, "PascalScript");
  // Positions stay those of the text as written.
  r = TfsILParser::MakeILTree("#language PascalScript\nbegin x := ; end.", "", IlParseOptions());
  EXPECT_EQ(r.error_pos, "2:12");
}

TEST(Grammar, UnknownLanguageAndBrokenGrammar) {
  try {
    Parse("");
    TfsILParser::MakeILTree("begin end.", "Klingon", IlParseOptions());
    FAIL();
  } catch (const EGrammarError& e) {
    EXPECT_STREQ(e.what(), "Language 'Klingon' not found");
  }
  RegisterLanguage("@Broken", "<?xml version=\"1.0\"?><language><program><missingrule/></program></language>");
  EXPECT_THROW(TfsILParser::MakeILTree("x", "@Broken", IlParseOptions()), EGrammarError);
  RegisterLanguage("@Garbage", "not xml at all <<<");
  EXPECT_THROW(TfsILParser::MakeILTree("x", "@Garbage", IlParseOptions()), EGrammarError);
}

TEST(LanguageRegistry, HiddenNamesAreNotListedAndRegisteringAgainReplaces) {
  RegisterLanguage("@Hidden", std::string(PascalScriptGrammar()));
  RegisterLanguage("BasicScript", "<?xml version=\"1.0\"?><language><program><eol/></program></language>");
  std::vector<std::string> names = LanguageNames();
  EXPECT_NE(std::find(names.begin(), names.end(), "PascalScript"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "BasicScript"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "@Hidden"), names.end());
  EXPECT_TRUE(TfsILParser::MakeILTree("begin end.", "@Hidden", IlParseOptions()).error.empty());
  RegisterLanguage("BasicScript", std::string(PascalScriptGrammar()));
  EXPECT_TRUE(TfsILParser::MakeILTree("begin end.", "basicscript", IlParseOptions()).error.empty());
}

TEST(Grammar, DeepNestingIsAnErrorNotACrash) {
  std::string text = "begin x := " + std::string(5000, '(') + "1" + std::string(5000, ')') + "; end.";
  IlParseResult r = Parse(text);
  EXPECT_EQ(r.error, "Nesting too deep");
}

TEST(Units, UsesClauseInsertsTheUnitOnceAndNamesItInErrors) {
  IlParseOptions options;
  int requests = 0;
  options.unit_request = [&](const std::string& name, std::string& text) {
    ++requests;
    if (name == "lib.pas") {
      text = "uses 'lib.pas'; procedure Hello; begin ShowMessage('hello'); end; begin end.";
      return true;
    }
    if (name == "bad.pas") {
      text = "begin x := ; end.";
      return true;
    }
    return false;
  };
  IlParseResult r = TfsILParser::MakeILTree("uses 'lib.pas', 'lib.pas'; begin Hello; end.", "PascalScript", options);
  ASSERT_TRUE(r.error.empty()) << r.error;
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(r.root->children[0]->unit, "lib.pas");
  r = TfsILParser::MakeILTree("uses 'bad.pas'; begin end.", "PascalScript", options);
  EXPECT_EQ(r.error, "Expression expected");
  EXPECT_EQ(r.error_unit, "bad.pas");
  EXPECT_EQ(r.error_pos, "1:12");
}

TEST(Units, UnitProceduresRunFromTheScript) {
  TfsScript s;
  s.AddRTTI();
  s.on_get_unit = [](const std::string&, std::string& text) {
    text = "procedure Hello; begin ShowMessage('from unit'); end; begin end.";
    return true;
  };
  auto r = RunScript(s, "uses 'u.pas'; begin Hello; end.");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "from unit\n");
}

TEST(Units, FilesAreLookedUpInTheIncludeFolders) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("lgoty_units_" + std::to_string(::getpid()));
  fs::create_directories(dir / "second");
  std::ofstream(dir / "second" / "tools.pas") << "function Twice(x: Integer): Integer; begin Result := 2 * x; end;\nbegin end.";
  TfsScript s;
  s.AddRTTI();
  s.include_path = {(dir / "first").string(), (dir / "second").string()};
  auto r = RunScript(s, "uses 'tools.pas'; begin ShowMessage(Twice(21)); end.");
  fs::remove_all(dir);
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(r.Output(), "42\n");
}

// A macro function's argument text is cut from the text the call is written in: the unit's
// own (also a unit used by a unit), and the script's again once the units are built.
TEST(Units, MacroArgumentsComeFromTheUnitsOwnText) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("lgoty_macro_units_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "outer.pas") << "uses 'inner.pas';\n"
                                   << "procedure Outer;\nvar k: Integer;\nbegin\n"
                                   << "  k := 1; Inner; Note(k + Length('outer unit'));\nend;\nbegin end.";
  std::ofstream(dir / "inner.pas") << "procedure Inner; begin Note( 3 *  (4 - 1) ); end; begin end.";
  TfsScript s;
  s.AddRTTI();
  s.include_path = {dir.string()};
  std::vector<std::string> received;
  s.AddMethod("macrofunction Note(e: Variant): Integer",
              [&received](core::TObject*, TfsClassVariable*, const std::string&, std::vector<Variant>& p) {
                received.push_back(p[0].AsString());
                return Variant(0);
              });
  auto r = RunScript(s, "uses 'outer.pas'; begin Outer; Note(2+2); end.");
  fs::remove_all(dir);
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(received, (std::vector<std::string>{"3 *  (4 - 1)", "k + Length('outer unit')", "2+2"}));
}

TEST(Units, PathsOutsideTheIncludeFoldersAreNotRead) {
  TfsScript s;
  s.AddRTTI();
  auto r = RunScript(s, "uses '/etc/passwd'; begin end.");
  EXPECT_FALSE(r.compiled);
  EXPECT_EQ(r.error, "Cannot open unit: '/etc/passwd'");
}

}  // namespace
}  // namespace lgoty::script
