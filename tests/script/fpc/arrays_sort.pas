var a: array[1..8] of Integer; i, j, t: Integer; s: String;
begin
  a[1] := 5; a[2] := 3; a[3] := 8; a[4] := 1; a[5] := 9; a[6] := 2; a[7] := 7; a[8] := 4;
  for i := 1 to 7 do
    for j := 1 to 8 - i do
      if a[j] > a[j + 1] then begin t := a[j]; a[j] := a[j + 1]; a[j + 1] := t; end;
  s := '';
  for i := 1 to 8 do s := s + IntToStr(a[i]) + ' ';
  ShowMessage(Trim(s));
end.
