// Program building and execution: statements, expressions, procedures, flags, budgets.
#include <gtest/gtest.h>

#include <thread>

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

TEST(Execution, ArithmeticFollowsVariantRules) {
  EXPECT_EQ(Out("begin ShowMessage(7 / 2); ShowMessage(7 div 2); ShowMessage(7 mod 2); end."), "3.5\n3\n1\n");
  EXPECT_EQ(Out("begin ShowMessage(2 + 3 * 4 - 10 div 3); ShowMessage((2 + 3) * 4); end."), "11\n20\n");
  EXPECT_EQ(Out("begin ShowMessage(-2 * 3); ShowMessage(10 - 4 - 3); ShowMessage(1 shl 4 or 1); end."), "-6\n3\n17\n");
  EXPECT_EQ(Out("begin ShowMessage('a' + 'b'); ShowMessage('1' + 1); end."), "ab\n2\n");
  EXPECT_EQ(Out("begin ShowMessage('a' + 1); end."),
            "error: Could not convert variant of type (String) into type (Double)\n");
  EXPECT_EQ(Out("var i: Integer; begin i := 0; ShowMessage(5 div i); end."), "error: Division by zero\n");
}

TEST(Execution, BooleanAndOrShortCircuit) {
  const char* text = R"(
var calls: Integer;
function Touch(v: Boolean): Boolean;
begin
  calls := calls + 1;
  Result := v;
end;
begin
  calls := 0;
  if False and Touch(True) then ShowMessage('wrong');
  if True or Touch(True) then ShowMessage('or');
  ShowMessage(calls);
  if Touch(True) and Touch(False) then ShowMessage('wrong');
  ShowMessage(calls);
  ShowMessage(6 and 3);
end.)";
  EXPECT_EQ(Out(text), "or\n0\n2\n2\n");
}

TEST(Execution, ForLoopRoundsAndControlVariable) {
  EXPECT_EQ(Out("var i: Integer; begin for i := 1 to 0 do ShowMessage(i); ShowMessage('none'); end."), "none\n");
  EXPECT_EQ(Out("var i: Integer; begin for i := 3 downto 1 do ShowMessage(i); ShowMessage(i); end."), "3\n2\n1\n1\n");
  // Changing the variable in the body does not change the count.
  EXPECT_EQ(Out("var i, n: Integer; begin n := 0; for i := 1 to 3 do begin i := i + 10; n := n + 1; end; "
                "ShowMessage(n); end."),
            "3\n");
  EXPECT_EQ(Out("var s: String; begin for s := 1 to 2 do ; end."),
            "compile error 1:26: For loop variable must be numeric variable");
}

TEST(Execution, BreakContinueAndLoops) {
  const char* text = R"(
var i, n: Integer;
begin
  n := 0;
  for i := 1 to 10 do begin
    if i mod 2 = 0 then continue;
    if i > 7 then break;
    n := n + i;
  end;
  ShowMessage(n);
  i := 0;
  while True do begin i := i + 1; if i = 4 then break; end;
  ShowMessage(i);
  repeat i := i - 1; if i = 2 then continue; until i <= 0;
  ShowMessage(i);
end.)";
  EXPECT_EQ(Out(text), "16\n4\n0\n");
}

TEST(Execution, ExitEndsTheProcedureOnlyAndInTheMainBlockTheScript) {
  const char* text = R"(
procedure P;
begin
  ShowMessage('p1');
  exit;
  ShowMessage('p2');
end;
begin
  P;
  ShowMessage('main');
  exit;
  ShowMessage('after');
end.)";
  EXPECT_EQ(Out(text), "p1\nmain\n");
}

TEST(Execution, BreakInsideTryFinallyStillRunsTheWholeFinallyPart) {
  const char* text = R"(
var i: Integer;
begin
  for i := 1 to 5 do
    try
      if i = 2 then break;
      ShowMessage(i);
    finally
      ShowMessage('f');
      ShowMessage('g');
    end;
  ShowMessage(i);
end.)";
  EXPECT_EQ(Out(text), "1\nf\ng\nf\ng\n2\n");
}

TEST(Execution, TryExceptSetsExceptionVariablesAndFinallyRunsOnErrors) {
  const char* text = R"(
begin
  try
    try
      StrToInt('abc');
    finally
      ShowMessage('cleanup');
    end;
  except
    ShowMessage(ExceptionClassName);
    ShowMessage(ExceptionMessage);
  end;
  try RaiseException('mine'); except ShowMessage(ExceptionClassName + '/' + ExceptionMessage); end;
end.)";
  EXPECT_EQ(Out(text), "cleanup\nEConvertError\n'abc' is not a valid integer value\nException/mine\n");
}

TEST(Execution, SetsRangesAndCase) {
  EXPECT_EQ(Out("begin ShowMessage(4 in [1, 3..5]); ShowMessage(2 in [1, 3..5]); end."), "True\nFalse\n");
  const char* text = R"(
var i: Integer;
begin
  for i := 0 to 4 do
    case i of
      0: ShowMessage('zero');
      1, 2: ShowMessage('small');
      3..3: ShowMessage('three');
    else
      ShowMessage('other');
    end;
  case 'b' of 'a'..'c': ShowMessage('letter'); end;
end.)";
  EXPECT_EQ(Out(text), "zero\nsmall\nsmall\nthree\nother\nletter\n");
}

TEST(Execution, StringIndexingReadsAndWritesOneCharacter) {
  EXPECT_EQ(Out("var s: String; begin s := 'abc'; ShowMessage(s[2]); s[2] := 'XY'; ShowMessage(s); end."), "b\naXc\n");
  EXPECT_EQ(Out("var s: String; begin s := 'яблоко'; ShowMessage(s[2]); ShowMessage(Length(s)); end."), "б\n6\n");
  EXPECT_EQ(Out("var s: String; begin s := 'abc'; ShowMessage(s[4]); end."), "error: String index out of range (4)\n");
  EXPECT_EQ(Out("var s: String; begin s := 'abc'; s.Foo; end."),
            "compile error 1:36: Strings doesn't have properties or methods");
}

TEST(Execution, ArraysWithBoundsAndSeveralDimensions) {
  const char* text = R"(
var a: array[1..3] of Integer; m: array[0..1, 0..2] of Integer; i, j: Integer;
begin
  for i := 1 to 3 do a[i] := i * i;
  ShowMessage(a[1] + a[2] + a[3]);
  for i := 0 to 1 do for j := 0 to 2 do m[i, j] := i * 10 + j;
  ShowMessage(m[1, 2]);
  ShowMessage(a[4]);
end.)";
  EXPECT_EQ(Out(text), "14\n12\nerror: Variant or safe array index out of bounds\n");
  EXPECT_EQ(Out("var i: Integer; begin i[1] := 2; end."), "compile error 1:24: Array type required");
}

TEST(Execution, RecursionKeepsEachCallsVariables) {
  const char* text = R"(
function Fact(n: Integer): Integer;
var local: Integer;
begin
  local := n;
  if n <= 1 then Result := 1 else Result := n * Fact(n - 1);
  if local <> n then ShowMessage('clobbered');
end;
function Fib(n: Integer): Integer;
begin
  if n < 2 then Fib := n else Fib := Fib(n - 1) + Fib(n - 2);
end;
begin
  ShowMessage(Fact(10));
  ShowMessage(Fib(15));
end.)";
  EXPECT_EQ(Out(text), "3628800\n610\n");
}

TEST(Execution, VarParametersWriteBack) {
  const char* text = R"(
procedure Swap(var a, b: Integer);
var t: Integer;
begin
  t := a; a := b; b := t;
end;
procedure NoVar(a: Integer);
begin
  a := 99;
end;
var x, y: Integer;
begin
  x := 1; y := 2;
  Swap(x, y);
  NoVar(x);
  ShowMessage(IntToStr(x) + ',' + IntToStr(y));
end.)";
  EXPECT_EQ(Out(text), "2,1\n");
}

TEST(Execution, NestedProceduresAndParentScope) {
  const char* text = R"(
var total: Integer;
procedure Outer(n: Integer);
  procedure Inner;
  begin
    total := total + n;
  end;
begin
  Inner; Inner;
end;
begin
  total := 0;
  Outer(5);
  ShowMessage(total);
end.)";
  EXPECT_EQ(Out(text), "10\n");
}

TEST(Execution, CompoundAssignmentFormsGiveTheSameResults) {
  const char* text = R"(
var i: Integer; f: Extended; s: String;
begin
  i := 10; i := i - 3; i := 2 * i; i := i + 1;
  f := 1; f := f / 4;
  s := 'a'; s := s + 'b';
  ShowMessage(i); ShowMessage(f); ShowMessage(s);
end.)";
  EXPECT_EQ(Out(text), "15\n0.25\nab\n");
}

struct BuildCase {
  const char* text;
  const char* message;
};

TEST(Build, MessagesOfTheProgramBuilder) {
  const BuildCase cases[] = {
      {"var i: Integer; i: String; begin end.", "1:17: Identifier redeclared: 'i'"},
      {"var x: TNoSuchClass; begin end.", "1:8: Unknown type: 'TNoSuchClass'"},
      {"begin Foo := 1; end.", "1:7: Undeclared identifier: 'Foo'"},
      {"var i: Integer; begin i := 'x'; end.", "1:28: Incompatible types: 'Integer', 'String'"},
      {"var i: Integer; begin i := 2.5; end.", "1:28: Incompatible types: 'Integer', 'Extended'"},
      {"var b: Boolean; begin b := b + 1; end.", "1:30: Incompatible types"},
      {"begin ShowMessage('a', 'b'); end.", "1:7: Too many actual parameters"},
      {"begin Copy('a'); end.", "1:7: Not enough actual parameters"},
      {"const c = 1; begin c := 2; end.", "1:20: Left side cannot be assigned to"},
      {"begin IntToStr(1) := '1'; end.", "1:7: Left side cannot be assigned to"},
      {"var i: Integer; begin with i do ; end.", "1:28: Class type required"},
      {"var l: TStringList; begin l.Nothing; end.", "1:29: Undeclared identifier: 'Nothing'"},
      {"var o: TObject; begin o[1] := 1; end.", "1:24: Class TObject does not have a default property"},
      {"begin ShowMessage(@Nothing); end.", "1:19: Variable required"},
  };
  for (const auto& c : cases) EXPECT_EQ(Out(c.text), std::string("compile error ") + c.message) << c.text;
}

TEST(Build, AnArrayReadAsOneValueNeedsAnIndex) {
  const char* decl = "var a, b: array[0..2] of Integer; x: Integer; s: String;\n";
  const BuildCase cases[] = {
      {"begin x := a + 1; end.", "2:12: Index required"},
      {"begin x := 1 + a; end.", "2:16: Index required"},
      {"begin x := a; end.", "2:12: Index required"},
      {"begin s := a; end.", "2:12: Index required"},
      {"begin x := -a; end.", "2:13: Index required"},
      {"begin if a = 1 then ; end.", "2:10: Index required"},
      {"begin if a in [1, 2] then ; end.", "2:10: Index required"},
      {"begin x := StrToInt(a); end.", "2:21: Index required"},
      {"begin for x := 0 to a do ; end.", "2:21: Index required"},
      {"begin x := (a) * 2; end.", "2:13: Index required"},
  };
  for (const auto& c : cases) {
    const std::string text = std::string(decl) + c.text;
    EXPECT_EQ(Out(text), std::string("compile error ") + c.message) << c.text;
  }
  // Scalars indexed stay an error of their own.
  EXPECT_EQ(Out("var i: Integer; begin ShowMessage(i[0]); end."), "compile error 1:36: Array type required");
}

TEST(Build, WholeArraysStillGoWhereAnArrayIsTaken) {
  const char* text = R"(
var a, b: array[0..2] of Integer; v: Variant; x: Integer;
begin
  a[0] := 4; a[1] := 5; a[2] := 6;
  x := a[1] + 1;
  ShowMessage(x);
  b := a;
  ShowMessage(b[2]);
  v := a;
  ShowMessage(v[0]);
  ShowMessage(Length(a));
end.)";
  EXPECT_EQ(Out(text), "6\n6\n4\n3\n");
}

TEST(Build, ShadowingAHostNameIsAllowed) {
  EXPECT_EQ(Out("var Date: String; begin Date := 'x'; ShowMessage(Date); end."), "x\n");
}

TEST(Build, WithResolvesMembersOfTheObject) {
  const char* text = R"(
var l: TStringList;
begin
  l := TStringList.Create;
  with l do begin
    Add('one');
    Add('two');
    ShowMessage(Count);
  end;
  l.Free;
end.)";
  EXPECT_EQ(Out(text), "2\n");
}

TEST(CallFunction, RunsProceduresByNameAndReturnsNullForOthers) {
  TfsScript s;
  s.AddRTTI();
  auto r = RunScript(s, R"(
var counter: Integer;
function Twice(x: Integer): Integer; begin Result := x * 2; counter := counter + 1; end;
procedure Bump(var x: Integer); begin x := x + 1; end;
begin counter := 0; end.)");
  ASSERT_TRUE(r.compiled) << r.error;
  EXPECT_EQ(s.CallFunction("Twice", Variant::Array({Variant(21)})).AsInteger(), 42);
  EXPECT_EQ(s.CallFunction("twice", Variant(5)).AsInteger(), 10);
  EXPECT_TRUE(s.CallFunction("NoSuchProc", Variant::Array({})).IsNull());
  EXPECT_TRUE(s.CallFunction("counter").IsNull());  // not a procedure: nothing runs
  EXPECT_EQ(s.Find("counter")->GetValue().AsInteger(), 2);
  Variant params = Variant::Array({Variant(7)});
  s.CallFunction1("Bump", params);
  EXPECT_EQ(params.At(0).AsInteger(), 8);
}

TEST(Budgets, StepLimitStopsAnEndlessLoopAndTryExceptCannotCatchIt) {
  TfsScript s;
  s.AddRTTI();
  s.SetStepLimit(10000);
  auto r = RunScript(s, "begin while True do try ; except end; end.");
  EXPECT_EQ(r.runtime_error, "Script step limit exceeded");
}

TEST(Budgets, TimeLimitStopsAnEmptyLoop) {
  TfsScript s;
  s.AddRTTI();
  s.SetTimeLimit(std::chrono::milliseconds(50));
  auto r = RunScript(s, "begin while True do ; end.");
  EXPECT_EQ(r.runtime_error, "Script time limit exceeded");
}

TEST(Budgets, AnotherThreadCanTerminateTheScript) {
  TfsScript s;
  s.AddRTTI();
  s.SetLines("var i: Integer; begin i := 0; while True do i := i + 1; end.");
  ASSERT_TRUE(s.Compile());
  std::thread stopper([&s] {
    while (!s.IsRunning()) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    s.RequestTerminate();
  });
  s.Execute();
  stopper.join();
  EXPECT_TRUE(s.Terminated());
  EXPECT_GT(s.Find("i")->GetValue().AsInteger(), 0);
}

TEST(Budgets, DeepRecursionIsAClearError) {
  auto r = RunScript("procedure R(n: Integer); begin R(n + 1); end; begin R(0); end.");
  EXPECT_EQ(r.runtime_error, "Call depth limit exceeded (400 nested calls)");
  // The error is an ordinary run-time error that the script can catch.
  EXPECT_EQ(Out("procedure R; begin R; end; begin try R; except ShowMessage('caught'); end; end."), "caught\n");
}

TEST(Budgets, LongOperatorChainsAreRefusedBeforeTheyCanExhaustTheStack) {
  std::string text = "begin ShowMessage(1";
  for (int i = 0; i < 3000; ++i) text += "+1";
  text += "); end.";
  auto r = RunScript(text);
  EXPECT_EQ(r.error, "Expression too complex");
}

TEST(Budgets, StringGrowthIsCapped) {
  TfsScript s;
  s.AddRTTI();
  s.SetMaxStringLength(1000);
  auto r = RunScript(s, "var t: String; i: Integer; begin t := 'x'; for i := 1 to 20 do t := t + t; end.");
  EXPECT_EQ(r.runtime_error, "String too long");
  // Host functions are held to the same limit.
  r = RunScript(s, "var t: String; i: Integer; begin t := 'x'; for i := 1 to 20 do t := Format('%s%s', [t, t]); end.");
  EXPECT_EQ(r.runtime_error, "String too long");
  r = RunScript(s, "var t: String; begin t := 'x'; SetLength(t, 5000); end.");
  EXPECT_EQ(r.runtime_error, "String too long");
}

TEST(RunLine, EventSeesEveryStatementPosition) {
  TfsScript s;
  s.AddRTTI();
  std::vector<std::string> lines;
  s.SetOnRunLine([&](const std::string&, const std::string& pos) { lines.push_back(pos); });
  auto r = RunScript(s, "var i: Integer;\nbegin\n  i := 1;\n  if i = 1 then\n    i := 2;\nend.");
  ASSERT_TRUE(r.compiled);
  EXPECT_EQ(lines, (std::vector<std::string>{"3:3", "4:3", "5:5"}));
}

}  // namespace
}  // namespace lgoty::script
