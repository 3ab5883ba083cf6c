begin
  ShowMessage(FormatFloat('0.00', 3.14159));
  ShowMessage(FormatFloat('#,##0.00', 1234567.891));
  ShowMessage(FormatFloat('0.###', 2.5));
  ShowMessage(FormatFloat('000', 7));
  ShowMessage(FormatFloat('#.##', 0.5));
  ShowMessage(FormatFloat('0.00E+00', 12345.678));
  ShowMessage(FormatFloat('0;(0);zero', -5));
  ShowMessage(FormatFloat('0;(0);zero', 0));
end.
