// TStringList: adding, indexing, sorting, name=value pairs, text and comma forms.
var l: TStringList; i: Integer;
begin
  l := TStringList.Create;
  try
    l.Add('pear');
    l.Add('apple');
    l.Add('fig');
    ShowMessage(l.Count);
    ShowMessage(l[0] + ',' + l.Strings[2]);
    l.Sort;
    for i := 0 to l.Count - 1 do ShowMessage(IntToStr(i) + '=' + l[i]);
    ShowMessage(l.IndexOf('FIG'));
    ShowMessage(l.IndexOf('plum'));
    l[1] := 'date';
    l.Delete(0);
    ShowMessage(l.CommaText);
    l.Clear;
    l.Add('city=Omsk');
    l.Values['zip'] := '644000';
    ShowMessage(l.Values['city'] + ' ' + l.Values['zip'] + ' [' + l.Values['none'] + ']');
    ShowMessage(l.Names[1]);
    l.Text := 'one'#13#10'two';
    ShowMessage(l.Count);
    ShowMessage(l[5]);
  finally
    l.Free;
  end;
end.
