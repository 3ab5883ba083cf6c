var s: String;
begin
  s := 'abcdefgh';
  Delete(s, 3, 2);
  ShowMessage(s);
  Delete(s, 1, 1);
  ShowMessage(s);
  Delete(s, 10, 1);
  ShowMessage(s);
  Delete(s, 4, 100);
  ShowMessage(s);
  Insert('XY', s, 2);
  ShowMessage(s);
  Insert('Z', s, 1);
  ShowMessage(s);
  Insert('!', s, 100);
  ShowMessage(s);
end.
