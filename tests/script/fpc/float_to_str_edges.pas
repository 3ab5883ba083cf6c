{ Differs from Free Pascal by design: FloatToStr(0.00001) is "1E-5" here (the exponent form
  below 1E-4, as the platform's general format has it); Free Pascal prints "0.00001". }
var x: Double;
begin
  x := 1e15;
  ShowMessage(FloatToStr(x));
  x := 123456789012345;
  ShowMessage(FloatToStr(x));
  x := 0.00001;
  ShowMessage(FloatToStr(x));
  x := 0.0001;
  ShowMessage(FloatToStr(x));
  x := 1e20;
  ShowMessage(FloatToStr(x));
  x := -0.5;
  ShowMessage(FloatToStr(x));
  x := 100;
  ShowMessage(FloatToStr(x));
end.
