#!/usr/bin/python3
"""Writes a table with Debian's python3-dbf, as a test oracle.

usage: pydbf_write.py OUT.dbf KIND LDID ROWS.json
  KIND  db3 | fp | vfp
  LDID  language driver id, e.g. 0x65 (cp866) or 0xC9 (cp1251)
  ROWS  a JSON array of objects with FAMIL (text), SUMPAY (decimal text or null),
        DATERCPT ("YYYY-MM-DD" or null), OK (true/false/null), PRIM (memo text)
"""
import datetime
import json
import sys

import dbf


def main():
    out, kind, ldid, rows_path = sys.argv[1:5]
    with open(rows_path, encoding='utf-8') as f:
        rows = json.load(f)
    base = out[:-4] if out.lower().endswith('.dbf') else out
    table = dbf.Table(base, 'FAMIL C(25); SUMPAY N(12,2); DATERCPT D; OK L; PRIM M',
                      dbf_type=kind, codepage=int(ldid, 0))
    table.open(dbf.READ_WRITE)
    for row in rows:
        date = row['DATERCPT']
        table.append((
            row['FAMIL'],
            None if row['SUMPAY'] is None else float(row['SUMPAY']),
            None if date is None else datetime.date.fromisoformat(date),
            row['OK'],
            row['PRIM'],
        ))
    table.close()


if __name__ == '__main__':
    main()
