#!/usr/bin/env python3
"""Regenerates the expected outputs of the differential programs with Free Pascal.

Each NAME.pas here is written in the subset both languages share. For fpc it is wrapped:
a prelude (SysUtils, Math, DateUtils; ShowMessage as WriteLn; RaiseException raising
Exception; the exception variables; DaysInMonth(year, month); English format settings set
at the start of the main block), and each "except ... end {/except}" becomes an
"on E: Exception do" handler that fills ExceptionClassName and ExceptionMessage first.

The output of the compiled program is written to NAME.out. Where the script system prints
differently from Free Pascal by design, DIFFERENCES replaces the fpc line and says why; the
same reason is written as a comment at the top of the program.

Usage: generate.py [NAME ...]   (default: every program)
"""
import os
import re
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

PRELUDE = """{$mode objfpc}{$H+}
program differential;
uses SysUtils, Math, DateUtils;
var ExceptionClassName, ExceptionMessage: string;
procedure ShowMessage(const s: string); begin WriteLn(s); end;
procedure RaiseException(const s: string); begin raise Exception.Create(s); end;
function DaysInMonth(nYear, nMonth: Integer): Integer; begin Result := DaysInAMonth(nYear, nMonth); end;
procedure SetupFormat;
begin
  FormatSettings.DecimalSeparator := '.';
  FormatSettings.ThousandSeparator := ',';
  FormatSettings.DateSeparator := '/';
  FormatSettings.TimeSeparator := ':';
  FormatSettings.ShortDateFormat := 'M/d/yyyy';
  FormatSettings.LongDateFormat := 'dddd, MMMM d, yyyy';
  FormatSettings.ShortTimeFormat := 'h:nn AMPM';
  FormatSettings.LongTimeFormat := 'h:nn:ss AMPM';
  FormatSettings.TimeAMString := 'AM';
  FormatSettings.TimePMString := 'PM';
end;
"""

# program -> list of (line printed by fpc, line the script system prints, reason)
DIFFERENCES = {
    'exceptions_convert': [
        ('"12x" is an invalid integer', "'12x' is not a valid integer value",
         "conversion errors carry the platform's message text, not Free Pascal's"),
    ],
    'float_to_str_edges': [
        ('0.00001', '1E-5',
         "FloatToStr switches to the exponent form below 1E-4, as the platform's general format does"),
    ],
    'format_float': [
        ('1.2345678000000000E+004', '1.23456780000000E+004',
         "%e writes 15 significant digits (the platform's default precision), Free Pascal 17"),
    ],
    'exceptions_divzero': [],  # same message; the class differs (EDivByZero vs EMathError) and is not printed
}


def to_fpc(text):
    text = text.replace('end {/except}', '@@ENDEXCEPT@@')
    text = re.sub(r'\bexcept\b', 'except on E: Exception do begin ExceptionClassName := E.ClassName; '
                  'ExceptionMessage := E.Message;', text, flags=re.IGNORECASE)
    text = text.replace('@@ENDEXCEPT@@', 'end; end')
    lines = text.split('\n')
    main = max(i for i, l in enumerate(lines) if l.strip().lower() == 'begin')
    lines[main] = 'begin SetupFormat;'
    return PRELUDE + '\n'.join(lines)


def generate(name):
    with open(os.path.join(HERE, name + '.pas')) as f:
        text = f.read()
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, 'differential.pas')
        with open(src, 'w') as f:
            f.write(to_fpc(text))
        build = subprocess.run(['fpc', '-O1', '-FE' + tmp, src], capture_output=True, text=True)
        if build.returncode != 0:
            sys.exit(f'{name}: fpc failed\n{build.stdout}')
        # Compiled programs must not print anything but their own lines.
        run = subprocess.run([os.path.join(tmp, 'differential')], capture_output=True, text=True, timeout=60)
    out = run.stdout
    for fpc_line, our_line, _ in DIFFERENCES.get(name, []):
        if fpc_line not in out:
            sys.exit(f'{name}: expected fpc to print {fpc_line!r}')
        out = out.replace(fpc_line, our_line)
    with open(os.path.join(HERE, name + '.out'), 'w') as f:
        f.write(out)


def main():
    names = sys.argv[1:] or sorted(f[:-4] for f in os.listdir(HERE) if f.endswith('.pas'))
    for name in names:
        generate(name)
    print(f'{len(names)} programs')


if __name__ == '__main__':
    main()
