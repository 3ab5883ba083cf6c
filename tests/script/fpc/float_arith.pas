var x, y: Double;
begin
  x := 7 / 2;
  ShowMessage(FloatToStr(x));
  y := 1 / 3;
  ShowMessage(FloatToStr(y));
  x := 0.1 + 0.2;
  ShowMessage(FloatToStr(x));
  x := 2.5 * 4;
  ShowMessage(FloatToStr(x));
  x := -1.25 - 0.5;
  ShowMessage(FloatToStr(x));
  x := 10 / 4 + 1;
  ShowMessage(FloatToStr(x));
end.
