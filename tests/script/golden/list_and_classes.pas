// TList of values, class names, "is", constructors through the class name.
var l: TList; o: TObject; sl: TStringList;
begin
  l := TList.Create;
  l.Add(10); l.Add('x'); l.Add(2.5);
  ShowMessage(l.Count);
  ShowMessage(l[1]);
  l[0] := l[0] + 1;
  ShowMessage(l.Items[0]);
  ShowMessage(l.IndexOf('x'));
  l.Delete(1);
  ShowMessage(l.Count);
  sl := TStringList.Create;
  o := sl;
  ShowMessage(o.ClassName);
  ShowMessage(sl is TStringList);
  ShowMessage(sl is TStrings);
  ShowMessage(l is TStrings);
  ShowMessage(TStringList.ClassName);
  l.Free;
  sl.Free;
  l.Add(1);
  ShowMessage(l.Count);
end.
