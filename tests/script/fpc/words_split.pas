var s, w: String; p, n: Integer;
begin
  s := 'alpha beta  gamma delta';
  n := 0;
  while Length(s) > 0 do begin
    p := Pos(' ', s);
    if p = 0 then begin w := s; s := ''; end
    else begin w := Copy(s, 1, p - 1); Delete(s, 1, p); end;
    if w <> '' then begin n := n + 1; ShowMessage(IntToStr(n) + ':' + w); end;
  end;
end.
