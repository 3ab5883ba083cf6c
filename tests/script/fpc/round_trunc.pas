begin
  ShowMessage(IntToStr(Round(2.5)) + ' ' + IntToStr(Round(3.5)) + ' ' + IntToStr(Round(-2.5)));
  ShowMessage(IntToStr(Round(2.4)) + ' ' + IntToStr(Round(2.6)) + ' ' + IntToStr(Round(-2.6)));
  ShowMessage(IntToStr(Trunc(3.99)) + ' ' + IntToStr(Trunc(-3.99)));
  ShowMessage(FloatToStr(Int(7.8)) + ' ' + FloatToStr(Int(-7.8)));
  ShowMessage(FormatFloat('0.00', Frac(7.25)) + ' ' + FormatFloat('0.00', Frac(-7.25)));
end.
