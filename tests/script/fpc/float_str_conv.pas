var x: Double;
begin
  x := StrToFloat('3.25');
  ShowMessage(FloatToStr(x * 2));
  x := StrToFloat('-1.5e3');
  ShowMessage(FloatToStr(x));
  ShowMessage(FloatToStr(StrToFloat('0.001')));
end.
