// Procedures, functions, defaults through host functions, nested scopes, exit.
var counter: Integer;

procedure Count(n: Integer);
var i: Integer;
begin
  for i := 1 to n do Inc(counter);
end;

function Describe(n: Integer): String;
begin
  Result := 'n=' + IntToStr(n);
  if n < 0 then begin
    Result := 'negative';
    exit;
  end;
  Result := Result + '!';
end;

function Sum(a, b: Integer): Integer;
  function Twice(x: Integer): Integer;
  begin
    Result := x * 2;
  end;
begin
  Result := Twice(a) + Twice(b);
end;

begin
  counter := 0;
  Count(3);
  Count(4);
  ShowMessage(counter);
  ShowMessage(Describe(5));
  ShowMessage(Describe(-1));
  ShowMessage(Sum(2, 3));
end.
