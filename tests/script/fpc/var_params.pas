procedure Swap(var a, b: Integer);
var t: Integer;
begin
  t := a; a := b; b := t;
end;
procedure AddSuffix(var s: String; n: Integer);
begin
  s := s + '#' + IntToStr(n);
end;
var x, y: Integer; s: String;
begin
  x := 3; y := 8;
  Swap(x, y);
  ShowMessage(IntToStr(x) + ' ' + IntToStr(y));
  s := 'item';
  AddSuffix(s, 1);
  AddSuffix(s, 2);
  ShowMessage(s);
end.
