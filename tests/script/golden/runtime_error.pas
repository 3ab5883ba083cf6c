// An uncaught run-time error ends the script after what it printed so far.
var l: TStringList;
begin
  ShowMessage('start');
  l := TStringList.Create;
  ShowMessage(l[3]);
  ShowMessage('never');
end.
