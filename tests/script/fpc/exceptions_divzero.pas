{ The error class differs (EMathError here, EDivByZero in Free Pascal); the program prints
  only the message, which is the same. }
var a, b: Integer;
begin
  a := 10; b := 0;
  try
    ShowMessage(IntToStr(a div b));
  except
    ShowMessage(ExceptionMessage);
  end {/except};
  ShowMessage('continues');
end.
