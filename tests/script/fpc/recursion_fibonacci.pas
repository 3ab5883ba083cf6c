function Fib(n: Integer): Integer;
begin
  if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2);
end;
var i: Integer; s: String;
begin
  s := '';
  for i := 0 to 20 do s := s + IntToStr(Fib(i)) + ' ';
  ShowMessage(Trim(s));
end.
