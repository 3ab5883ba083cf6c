{ Differs from Free Pascal by design: the conversion error carries the platform's message
  text ("'12x' is not a valid integer value") where Free Pascal prints ""12x" is an invalid
  integer"; generate.py substitutes that line. }
var i: Integer;
begin
  try
    i := StrToInt('12x');
    ShowMessage(IntToStr(i));
  except
    ShowMessage(ExceptionClassName);
    ShowMessage(ExceptionMessage);
  end {/except};
end.
