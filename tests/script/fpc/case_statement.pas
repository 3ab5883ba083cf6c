procedure Describe(n: Integer);
begin
  case n of
    0: ShowMessage('zero');
    1, 2, 3: ShowMessage('small');
    4..9: ShowMessage('medium');
  else
    ShowMessage('large');
  end;
end;
var i: Integer;
begin
  for i := 0 to 5 do Describe(i * 2);
  case 'c' of
    'a', 'b': ShowMessage('ab');
    'c': ShowMessage('c');
  end;
end.
