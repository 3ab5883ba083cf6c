// The string functions: characters, not bytes, so Cyrillic text counts letter by letter.
var s: String;
begin
  s := 'Привет, мир';
  ShowMessage(Length(s));
  ShowMessage(Copy(s, 1, 6));
  ShowMessage(Pos('мир', s));
  ShowMessage(Uppercase(s));
  ShowMessage(NameCase('иванов иван иванович'));
  Delete(s, 7, 5);
  ShowMessage(s);
  Insert('!', s, 7);
  ShowMessage(s);
  SetLength(s, 3);
  ShowMessage(s);
  ShowMessage(Ord('Я'));
  ShowMessage(Chr(1071));
  ShowMessage(Trim('  x  ') + '|');
  ShowMessage(CompareText('abc', 'ABC'));
  ShowMessage(ExtractFilePath('C:\data\reg\lgoty.dbf'));
  ShowMessage(BoolToStr(StrToBool('true')));
end.
