function Fact(n: Integer): Double;
begin
  if n <= 1 then Result := 1 else Result := n * Fact(n - 1);
end;
var i: Integer;
begin
  for i := 0 to 12 do ShowMessage(IntToStr(i) + '! = ' + FloatToStr(Fact(i)));
end.
