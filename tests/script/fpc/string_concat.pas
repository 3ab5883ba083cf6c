var s, t: String; i: Integer;
begin
  s := 'Hello';
  t := s + ', ' + 'World' + '!';
  ShowMessage(t);
  s := '';
  for i := 1 to 5 do s := s + IntToStr(i);
  ShowMessage(s);
  ShowMessage('It''s' + #65 + #66);
  ShowMessage('[' + '' + ']');
end.
