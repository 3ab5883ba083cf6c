// try/except inside try/finally, errors from host functions and re-raising by hand.
procedure Risky(n: Integer);
begin
  if n = 2 then RaiseException('bad n ' + IntToStr(n));
  if n = 3 then StrToFloat('x');
  ShowMessage('risky ' + IntToStr(n) + ' ok');
end;

var i: Integer;
begin
  for i := 1 to 3 do
    try
      try
        Risky(i);
      finally
        ShowMessage('cleanup ' + IntToStr(i));
      end;
    except
      ShowMessage(ExceptionClassName + ': ' + ExceptionMessage);
    end;
  try
    try
      RaiseException('first');
    except
      RaiseException('second after ' + ExceptionMessage);
    end;
  except
    ShowMessage(ExceptionMessage);
  end;
  ShowMessage(CreateOleObject('Excel.Application'));
end.
