const
  Base = 10;
  Name = 'const';
  Ratio = 2.5;
var x: Double;
begin
  x := Base * Ratio;
  ShowMessage(Name + ' ' + IntToStr(Base) + ' ' + FloatToStr(x));
end.
