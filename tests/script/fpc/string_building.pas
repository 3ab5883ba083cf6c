function Reverse(s: String): String;
var i: Integer;
begin
  Result := '';
  for i := Length(s) downto 1 do Result := Result + Copy(s, i, 1);
end;
function CountChar(s, c: String): Integer;
var i: Integer;
begin
  Result := 0;
  for i := 1 to Length(s) do if Copy(s, i, 1) = c then Result := Result + 1;
end;
begin
  ShowMessage(Reverse('stressed'));
  ShowMessage(IntToStr(CountChar('mississippi', 's')));
  ShowMessage(UpperCase(Copy('pascal', 1, 1)) + Copy('pascal', 2, 5));
end.
