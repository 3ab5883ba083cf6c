var i: Integer; s: String;
begin
  ShowMessage(IntToStr(Ord('A')) + ' ' + IntToStr(Ord('z')));
  s := '';
  for i := 72 to 76 do s := s + Chr(i);
  ShowMessage(s);
  ShowMessage(Chr(Ord('a') + 2));
end.
