var s: String;
begin
  s := '  Mixed Case Text  ';
  ShowMessage('[' + Trim(s) + ']');
  ShowMessage(UpperCase(Trim(s)));
  ShowMessage(LowerCase(Trim(s)));
  ShowMessage('[' + Trim('') + ']');
  ShowMessage(IntToStr(Length(s)) + ' ' + IntToStr(Length(Trim(s))));
end.
