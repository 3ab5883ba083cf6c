var d: TDateTime;
begin
  d := EncodeDate(2023, 7, 9) + EncodeTime(14, 5, 3, 0);
  ShowMessage(FormatDateTime('yyyy-mm-dd hh:nn:ss', d));
  ShowMessage(FormatDateTime('d/m/yy', d));
  ShowMessage(FormatDateTime('dddd, mmmm d, yyyy', d));
  ShowMessage(FormatDateTime('ddd mmm', d));
  ShowMessage(FormatDateTime('h:n:s am/pm', d));
  ShowMessage(FormatDateTime('"Date:" dd.mm.yyyy', d));
end.
