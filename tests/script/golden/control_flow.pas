// Loops, case, break and continue, try/finally with exit inside a procedure.
procedure WithFinally;
begin
  try
    ShowMessage('body');
    exit;
    ShowMessage('not here');
  finally
    ShowMessage('finally after exit');
  end;
  ShowMessage('not here either');
end;

var i, total: Integer; word: String;
begin
  WithFinally;
  total := 0;
  i := 0;
  repeat
    Inc(i);
    if i mod 2 = 1 then continue;
    total := total + i;
  until i >= 10;
  ShowMessage(total);
end.
