// Variant values: mixed arithmetic, VarType, arrays, Null.
var v: Variant; a: Variant; i: Integer;
begin
  v := 5;
  ShowMessage(VarType(v) = varInteger);
  v := v + 2.5;
  ShowMessage(v);
  ShowMessage(VarType(v) = varDouble);
  v := 'text';
  ShowMessage(VarType(v) = varString);
  v := '10' + 5;
  ShowMessage(v);
  v := Null;
  ShowMessage(VarType(v) = varNull);
  ShowMessage(VarToStr(v) + '|');
  a := VarArrayCreate([0, 4], varInteger);
  for i := 0 to 4 do a[i] := i * i;
  ShowMessage(a[3] + a[4]);
  ShowMessage(Length(a));
  a := VarArrayCreate([1, 2, 1, 3], varVariant);
  a[2, 3] := 'corner';
  ShowMessage(a[2, 3]);
  ShowMessage(VarType(a) and varArray <> 0);
end.
