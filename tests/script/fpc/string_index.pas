var s, r: String; i: Integer;
begin
  s := 'abcdef';
  ShowMessage(s[1] + s[6]);
  r := '';
  for i := Length(s) downto 1 do r := r + s[i];
  ShowMessage(r);
  s[3] := 'X';
  ShowMessage(s);
end.
