var s: String;
begin
  s := 'The quick brown fox';
  ShowMessage(Copy(s, 5, 5));
  ShowMessage(Copy(s, 17, 100));
  ShowMessage('[' + Copy(s, 30, 2) + ']');
  ShowMessage(Copy(s, 0, 3));
  ShowMessage(IntToStr(Pos('quick', s)));
  ShowMessage(IntToStr(Pos('slow', s)));
  ShowMessage(IntToStr(Pos('o', s)));
  ShowMessage(IntToStr(Pos('', s)));
end.
