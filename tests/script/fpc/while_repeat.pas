var i, n: Integer;
begin
  i := 1; n := 0;
  while i < 1000 do begin i := i * 2; n := n + 1; end;
  ShowMessage(IntToStr(i) + ' ' + IntToStr(n));
  i := 10;
  repeat i := i - 3; until i < 0;
  ShowMessage(IntToStr(i));
  repeat ShowMessage('at least once'); until True;
end.
