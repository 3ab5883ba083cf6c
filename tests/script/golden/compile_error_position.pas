// A compile error reports the first error with its line and column.
var s: String;
begin
  s := 'ok';
  if s = 'ok' then
    s := ;
end.
