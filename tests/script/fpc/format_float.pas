{ Differs from Free Pascal by design: %e writes 15 significant digits ("1.23456780000000E+004",
  the platform's default precision) where Free Pascal writes 17. }
begin
  ShowMessage(Format('%.2f|%8.3f|%-8.1f|', [3.14159, 2.5, 1.25]));
  ShowMessage(Format('%n', [1234567.891]));
  ShowMessage(Format('%.0f|%.1f', [2.5, 0.05]));
  ShowMessage(Format('%e', [12345.678]));
  ShowMessage(Format('%g|%g', [0.5, 1234567.0]));
end.
