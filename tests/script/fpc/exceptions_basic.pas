var i: Integer;
begin
  try
    ShowMessage('before');
    RaiseException('custom failure');
    ShowMessage('not reached');
  except
    ShowMessage('caught: ' + ExceptionMessage);
  end {/except};
  for i := 1 to 3 do
    try
      if i = 2 then RaiseException('at ' + IntToStr(i));
      ShowMessage('ok ' + IntToStr(i));
    except
      ShowMessage(ExceptionMessage);
    end {/except};
end.
