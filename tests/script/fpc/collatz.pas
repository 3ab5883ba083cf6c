var n, steps, best, bestn, i: Integer;
begin
  best := 0; bestn := 0;
  for i := 1 to 30 do begin
    n := i; steps := 0;
    while n <> 1 do begin
      if n mod 2 = 0 then n := n div 2 else n := 3 * n + 1;
      steps := steps + 1;
    end;
    if steps > best then begin best := steps; bestn := i; end;
  end;
  ShowMessage(IntToStr(bestn) + ' ' + IntToStr(best));
end.
