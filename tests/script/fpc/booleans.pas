var a, b: Boolean;
begin
  a := True; b := False;
  ShowMessage(BoolToStr(a and b) + ' ' + BoolToStr(a or b) + ' ' + BoolToStr(a xor b) + ' ' + BoolToStr(not a));
  if (1 < 2) and (2 < 3) then ShowMessage('chain');
  if (1 > 2) or (3 = 3) then ShowMessage('or');
  ShowMessage(BoolToStr(3 >= 3) + ' ' + BoolToStr(3 <> 3) + ' ' + BoolToStr('a' < 'b'));
end.
