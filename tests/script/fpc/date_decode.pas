var y, m, d: Word; t: TDateTime;
begin
  t := EncodeDate(2021, 3, 4) + 30;
  DecodeDate(t, y, m, d);
  ShowMessage(IntToStr(y) + '-' + IntToStr(m) + '-' + IntToStr(d));
  DecodeDate(EncodeDate(2000, 1, 1) - 1, y, m, d);
  ShowMessage(IntToStr(y) + '-' + IntToStr(m) + '-' + IntToStr(d));
end.
