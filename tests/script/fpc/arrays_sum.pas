var v: array[0..9] of Double; i: Integer; total: Double;
begin
  for i := 0 to 9 do v[i] := i * 1.5;
  total := 0;
  for i := 0 to 9 do total := total + v[i];
  ShowMessage(FloatToStr(total));
  ShowMessage(FloatToStr(v[9] / v[2]));
end.
