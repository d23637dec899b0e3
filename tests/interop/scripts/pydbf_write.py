"""Writes a table with python3-dbf and prints, in the line form of canon.py,
what our engine is expected to read from it.

usage: pydbf_write.py TABLE.dbf fp|vfp|db3
  fp   FoxPro table (version 0xF5) with an .fpt memo file
  vfp  Visual FoxPro table (0x30), memo pointers stored as 4 binary bytes
  db3  dBase III table (0x03) without memo fields: python3-dbf would put
       memos of this kind in a .dbt file
"""
import datetime
import os
import sys

import dbf

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import canon  # noqa: E402

path, kind = sys.argv[1], sys.argv[2]
with_memo = kind != 'db3'

FIELDS = [
    ('NOMBRE', 'C', 40, 0),
    ('CANTIDAD', 'N', 10, 2),
    ('PRECIO', 'N', 9, 2),
    ('CODIGO', 'N', 6, 0),
    ('NOTAS', 'M', 4 if kind == 'vfp' else 10, 0),
    ('PESO', 'F', 12, 3),
    ('ACTIVO', 'L', 1, 0),
    ('ALTA', 'D', 8, 0),
]
if not with_memo:
    FIELDS = [f for f in FIELDS if f[1] != 'M']

long_note = ''.join('%d. Diluir un 10%%\tcon agua; C:\\obra \u20ac 3,50\r\n' % n for n in range(1, 40))
ROWS = [
    # deleted, values by field name
    (False, dict(NOMBRE='Tornillo \u00d1and\u00fa 3/4', CANTIDAD=1250, PRECIO=0.15, CODIGO=1,
                 NOTAS='nota corta', PESO=0.125, ACTIVO=True, ALTA=datetime.date(2024, 1, 31))),
    (False, dict(NOMBRE='Arandela \u00abinox\u00bb \u20ac caja', CANTIDAD=-2.5, PRECIO=-9999.99,
                 CODIGO=999999,
                 NOTAS='Proveedor: Ferreter\u00eda Garc\u00eda\r\nPedido m\u00ednimo: 12 uds.\r\n'
                       'Plazo: 2 d\u00edas',
                 PESO=-1234.5, ACTIVO=False, ALTA=datetime.date(2000, 2, 29))),
    (False, dict(NOMBRE='  Broca HSS 6 mm', CANTIDAD=0, PRECIO=0, CODIGO=0, NOTAS='', PESO=0,
                 ACTIVO=None, ALTA=None)),
    (True, dict(NOMBRE='Borrada', CANTIDAD=1, PRECIO=1, CODIGO=4, NOTAS='nota de la borrada',
                PESO=1.5, ACTIVO=True, ALTA=datetime.date(1999, 12, 31))),
    (False, dict(NOMBRE='Pintura pl\u00e1stica blanca 15 l', CANTIDAD=9999999.99,
                 PRECIO=999999.99, CODIGO=42, NOTAS=long_note, PESO=99999999.999, ACTIVO=True,
                 ALTA=datetime.date(2038, 1, 19))),
    (False, dict(NOMBRE='Cinta americana plateada 50 mm x 25 m \u00e7\u00fc', CANTIDAD=None,
                 PRECIO=None, CODIGO=None, NOTAS='x' * 128, PESO=None, ACTIVO=False,
                 ALTA=datetime.date(1901, 1, 1))),
]

columns = '; '.join('%s %s' % (n, t if t in 'MLD' else '%s(%d,%d)' % (t, w, d) if t in 'NF'
                             else '%s(%d)' % (t, w))
                 for n, t, w, d in FIELDS)
table = dbf.Table(path, columns, dbf_type=kind, codepage='cp1252')
table.open(dbf.READ_WRITE)
for deleted, values in ROWS:
    table.append(tuple(values[n] for n, _, _, _ in FIELDS))
    if deleted:
        dbf.delete(table[-1])
table.close()

# What our engine should answer: blank numbers read 0, a blank logical false.
# python3-dbf drops the leading blanks of character values when it stores them.
lines = [canon.field_line(n, t, w, d) for n, t, w, d in FIELDS]
for deleted, values in ROWS:
    stored = [values[n].lstrip(' ') if t == 'C' else values[n] for n, t, _, _ in FIELDS]
    lines.append(canon.record_line(deleted, [(t, d) for _, t, _, d in FIELDS], stored))
canon.emit(lines)
