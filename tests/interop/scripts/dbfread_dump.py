"""Dumps a table through python3-dbfread: live records first, then deleted ones
(dbfread keeps the two apart)."""
import os
import sys

import dbfread

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import canon  # noqa: E402

table = dbfread.DBF(sys.argv[1], encoding='cp1252', char_decode_errors='strict')
fields = [(f.type, f.decimal_count) for f in table.fields]
lines = [canon.field_line(f.name, f.type, f.length, f.decimal_count) for f in table.fields]
for deleted, records in ((False, table.records), (True, table.deleted)):
    for r in records:
        lines.append(canon.record_line(deleted, fields, list(r.values())))
canon.emit(lines)
