procedure Cmp(a, b: String);
begin
  if CompareText(a, b) < 0 then ShowMessage(a + ' < ' + b)
  else if CompareText(a, b) > 0 then ShowMessage(a + ' > ' + b)
  else ShowMessage(a + ' = ' + b);
end;
begin
  Cmp('apple', 'Banana');
  Cmp('ABC', 'abc');
  Cmp('b', 'a');
  Cmp('', 'x');
end.
