var i, s: Integer;
begin
  s := 0;
  for i := 1 to 20 do begin
    if i mod 3 = 0 then continue;
    if i > 10 then break;
    s := s + i;
  end;
  ShowMessage(IntToStr(s) + ' ' + IntToStr(i));
  i := 0;
  while True do begin
    i := i + 1;
    if i < 5 then continue;
    break;
  end;
  ShowMessage(IntToStr(i));
end.
