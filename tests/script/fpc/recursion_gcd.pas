function Gcd(a, b: Integer): Integer;
begin
  if b = 0 then Result := a else Result := Gcd(b, a mod b);
end;
function Power(b, e: Integer): Integer;
begin
  if e = 0 then Result := 1
  else if e mod 2 = 0 then Result := Power(b * b, e div 2)
  else Result := b * Power(b, e - 1);
end;
begin
  ShowMessage(IntToStr(Gcd(1071, 462)) + ' ' + IntToStr(Gcd(17, 5)));
  ShowMessage(IntToStr(Power(3, 13)) + ' ' + IntToStr(Power(2, 30)));
end.
