var i, j: Integer; line: String;
begin
  for i := 1 to 4 do begin
    line := '';
    for j := 1 to i do line := line + IntToStr(i * j) + ' ';
    ShowMessage(Trim(line));
  end;
end.
