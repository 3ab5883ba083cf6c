var d: TDateTime;
begin
  d := EncodeDate(2024, 2, 29);
  ShowMessage(DateToStr(d));
  ShowMessage(IntToStr(DayOfWeek(d)));
  ShowMessage(BoolToStr(IsLeapYear(2024)) + ' ' + BoolToStr(IsLeapYear(1900)) + ' ' + BoolToStr(IsLeapYear(2000)));
  ShowMessage(IntToStr(DaysInMonth(2023, 2)) + ' ' + IntToStr(DaysInMonth(2024, 2)) + ' ' + IntToStr(DaysInMonth(2024, 12)));
  ShowMessage(FloatToStr(EncodeDate(1899, 12, 30)));
  ShowMessage(FloatToStr(EncodeDate(2000, 1, 1)));
end.
