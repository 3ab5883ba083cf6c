#!/usr/bin/python3
"""Reads a table with Debian's python3-dbfread and prints it as JSON, as a test oracle.

usage: dbfread_dump.py FILE.dbf ENCODING
Prints {"version": n, "records": [...]}: every record (deleted ones too, flagged _deleted)
with C as text, N as its decimal text, D as "YYYY-MM-DD", L as true/false, M as text.

dbfread 2.0.7 takes the length word of a dBASE IV memo block as the length of the text,
although that word counts the 8-byte block header as well, and so returns 8 bytes too many;
for tables with a dBASE IV memo file (version byte 0x8B) those bytes are cut here.
"""
import datetime
import json
import sys

import dbfread


def value(v):
    if isinstance(v, (datetime.date, datetime.datetime)):
        return v.isoformat()
    if isinstance(v, float):
        return repr(v)
    if isinstance(v, int) and not isinstance(v, bool):
        return str(v)
    return v


def main():
    path, encoding = sys.argv[1:3]
    table = dbfread.DBF(path, encoding=encoding, load=True)
    with open(path, 'rb') as f:
        version = f.read(1)[0]
    memo_fields = [f.name for f in table.fields if f.type == 'M']
    out = []
    for deleted, records in ((False, table.records), (True, table.deleted)):
        for record in records:
            row = {'_deleted': deleted}
            for name, v in record.items():
                if name in memo_fields and version == 0x8B and isinstance(v, str) and v:
                    v = v[:-8]
                row[name] = value(v)
            out.append(row)
    print(json.dumps({'version': version, 'records': out}, ensure_ascii=False))


if __name__ == '__main__':
    main()
