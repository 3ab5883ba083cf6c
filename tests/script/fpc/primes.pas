function IsPrime(n: Integer): Boolean;
var d: Integer;
begin
  Result := n > 1;
  d := 2;
  while Result and (d * d <= n) do begin
    if n mod d = 0 then Result := False;
    d := d + 1;
  end;
end;
var i, c: Integer; s: String;
begin
  s := ''; c := 0;
  for i := 1 to 60 do if IsPrime(i) then begin s := s + IntToStr(i) + ' '; c := c + 1; end;
  ShowMessage(Trim(s));
  ShowMessage(IntToStr(c));
end.
