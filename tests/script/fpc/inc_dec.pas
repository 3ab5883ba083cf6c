var i: Integer;
begin
  i := 10;
  Inc(i);
  ShowMessage(IntToStr(i));
  Inc(i, 5);
  ShowMessage(IntToStr(i));
  Dec(i);
  Dec(i, 10);
  ShowMessage(IntToStr(i));
end.
