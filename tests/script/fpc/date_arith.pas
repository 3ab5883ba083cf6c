var a, b: TDateTime;
begin
  a := EncodeDate(2024, 1, 31);
  b := a + 1;
  ShowMessage(DateToStr(b));
  ShowMessage(FloatToStr(EncodeDate(2024, 12, 25) - EncodeDate(2024, 1, 1)));
  ShowMessage(DateToStr(EncodeDate(2023, 12, 31) + 1));
end.
