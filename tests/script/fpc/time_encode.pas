var h, n, s, ms: Word; t: TDateTime;
begin
  t := EncodeTime(13, 45, 30, 250);
  DecodeTime(t, h, n, s, ms);
  ShowMessage(IntToStr(h) + ':' + IntToStr(n) + ':' + IntToStr(s) + '.' + IntToStr(ms));
  ShowMessage(TimeToStr(EncodeTime(9, 5, 7, 0)));
  ShowMessage(TimeToStr(EncodeTime(21, 0, 0, 0)));
  ShowMessage(DateTimeToStr(EncodeDate(2020, 5, 17) + EncodeTime(8, 30, 0, 0)));
end.
