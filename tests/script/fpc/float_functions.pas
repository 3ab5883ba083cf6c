var x: Double;
begin
  x := Sqrt(2);
  ShowMessage(FormatFloat('0.000000', x));
  ShowMessage(FloatToStr(Abs(-3.5)));
  ShowMessage(FormatFloat('0.0000', Sin(Pi / 6)));
  ShowMessage(FormatFloat('0.0000', Cos(0)));
  ShowMessage(FormatFloat('0.0000', ArcTan(1) * 4));
  ShowMessage(FormatFloat('0.0000', Exp(1)));
  ShowMessage(FormatFloat('0.0000', Ln(10)));
  ShowMessage(FormatFloat('0.0000', Tan(Pi / 4)));
end.
