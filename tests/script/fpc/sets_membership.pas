var i: Integer; s: String;
begin
  s := '';
  for i := 0 to 12 do
    if i in [1, 3..5, 10] then s := s + IntToStr(i) + ' ';
  ShowMessage(Trim(s));
  if 'c' in ['a'..'f'] then ShowMessage('hex letter');
  if not (7 in [1, 2]) then ShowMessage('not in');
end.
