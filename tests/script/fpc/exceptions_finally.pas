procedure Inner;
begin
  try
    ShowMessage('inner body');
    RaiseException('inner error');
  finally
    ShowMessage('inner finally');
  end;
end;
begin
  try
    try
      Inner;
    finally
      ShowMessage('outer finally');
    end;
  except
    ShowMessage('handled ' + ExceptionMessage);
  end {/except};
  ShowMessage('done');
end.
