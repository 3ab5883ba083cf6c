var x: Integer;
begin
  x := 2 + 3 * 4 - 6 div 2;
  ShowMessage(IntToStr(x));
  ShowMessage(IntToStr((2 + 3) * (4 - 6) div 2));
  ShowMessage(IntToStr(-2 * (-3) + 1));
  ShowMessage(IntToStr(100 - 10 - 1));
  ShowMessage(IntToStr(2 * 3 mod 4));
end.
