{ The operand after div and mod is parenthesised when negative: a factor cannot begin with
  a minus sign in this language (only the first term of an expression can). }
var a, b: Integer;
begin
  a := 17; b := 5;
  ShowMessage(IntToStr(a + b) + ' ' + IntToStr(a - b) + ' ' + IntToStr(a * b));
  ShowMessage(IntToStr(a div b) + ' ' + IntToStr(a mod b));
  ShowMessage(IntToStr(-a div b) + ' ' + IntToStr(-a mod b));
  ShowMessage(IntToStr(a div (-b)) + ' ' + IntToStr(a mod (-b)));
  ShowMessage(IntToStr(7 div 2) + ' ' + IntToStr(7 mod 2));
end.
