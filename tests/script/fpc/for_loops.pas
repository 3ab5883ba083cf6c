var i, s: Integer;
begin
  s := 0;
  for i := 1 to 100 do s := s + i;
  ShowMessage(IntToStr(s));
  for i := 3 downto 1 do ShowMessage(IntToStr(i));
  for i := 1 to 0 do ShowMessage('never');
  for i := 5 to 5 do ShowMessage('once ' + IntToStr(i));
  ShowMessage('after ' + IntToStr(i));
end.
