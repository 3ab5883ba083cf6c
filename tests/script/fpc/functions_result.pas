function Max3(a, b, c: Integer): Integer;
begin
  Result := a;
  if b > Result then Result := b;
  if c > Result then Result := c;
end;
function RepeatStr(s: String; n: Integer): String;
var i: Integer;
begin
  Result := '';
  for i := 1 to n do Result := Result + s;
end;
begin
  ShowMessage(IntToStr(Max3(3, 9, 4)) + ' ' + IntToStr(Max3(-1, -5, -2)));
  ShowMessage(RepeatStr('ab', 3) + '|' + RepeatStr('x', 0) + '|');
end.
