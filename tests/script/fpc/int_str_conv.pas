var i: Integer;
begin
  i := StrToInt('123') + StrToInt('-23');
  ShowMessage(IntToStr(i));
  ShowMessage(IntToStr(StrToInt('  42')));
  ShowMessage(IntToStr(StrToInt('$1F')));
  ShowMessage(IntToStr(-2147483647 - 1));
  ShowMessage(IntToStr(2147483647));
end.
