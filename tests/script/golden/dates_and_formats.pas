// Dates, times and formatting under the English conventions the tests set.
var d: TDateTime; y, m, day: Word; h, n, s, ms: Word;
begin
  d := EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 58, 500);
  ShowMessage(DateToStr(d));
  ShowMessage(TimeToStr(d));
  ShowMessage(FormatDateTime('yyyy-mm-dd hh:nn:ss.zzz', d));
  DecodeDate(d, y, m, day);
  DecodeTime(d, h, n, s, ms);
  ShowMessage(Format('%d/%d/%d %d:%d:%d.%d', [y, m, day, h, n, s, ms]));
  ShowMessage(DayOfWeek(d));
  ShowMessage(DateToStr(StrToDate('2/28/2024') + 1));
  ShowMessage(ValidDate('2/30/2024'));
  ShowMessage(ValidInt('12') and not ValidInt('1.5'));
  ShowMessage(ValidFloat('1.5'));
  ShowMessage(FormatFloat('#,##0.00', 1234.5));
  ShowMessage(Format('%8.3f|%-6s|%x', [3.14159, 'ab', 255]));
  ShowMessage(FormatMaskText('000-000;0;_', '123456'));
end.
