begin
  ShowMessage(Format('%d|%5d|%-5d|%.3d', [42, 42, 42, 7]));
  ShowMessage(Format('%x|%X|%8.4x', [255, 255, 255]));
  ShowMessage(Format('%d%%', [50]));
  ShowMessage(Format('%u', [123]));
end.
