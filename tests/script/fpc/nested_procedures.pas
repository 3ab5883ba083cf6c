var total: Integer;
procedure Outer(n: Integer);
var k: Integer;
  procedure Add(x: Integer);
  begin
    total := total + x * n;
  end;
begin
  for k := 1 to 3 do Add(k);
end;
begin
  total := 0;
  Outer(2);
  Outer(10);
  ShowMessage(IntToStr(total));
end.
