var moves: Integer;
procedure Hanoi(n: Integer; a, b, c: String);
begin
  if n = 0 then exit;
  Hanoi(n - 1, a, c, b);
  moves := moves + 1;
  if n = 3 then ShowMessage('move 3 from ' + a + ' to ' + c);
  Hanoi(n - 1, b, a, c);
end;
begin
  moves := 0;
  Hanoi(6, 'A', 'B', 'C');
  ShowMessage(IntToStr(moves));
end.
