begin
  ShowMessage(IntToStr(1 shl 10) + ' ' + IntToStr(1024 shr 3));
  ShowMessage(IntToStr(12 and 10) + ' ' + IntToStr(12 or 10) + ' ' + IntToStr(12 xor 10));
  ShowMessage(IntToStr(not 0) + ' ' + IntToStr(255 and not 15));
end.
