"""One line per field and per record in the form the interop tests compare.

Field lines:  F <tab> NAME <tab> TYPE <tab> LENGTH <tab> DECIMALS
Record lines: R <tab> FLAG <tab> value ...   (FLAG '*' deleted, '-' live)

Text is UTF-8 with every byte outside printable ASCII (and the backslash)
written as \\xHH, so tabs, line breaks and accents survive the pipe and a
failing test shows readable bytes. Character fields lose their trailing
blanks; memo texts are kept exactly. Numbers carry the field's decimals,
dates are YYYYMMDD or empty, logicals T or F.
"""
import datetime
import decimal
import sys


def esc(text):
    out = []
    for c in text.encode('utf-8'):
        if c == 0x5C:
            out.append('\\\\')
        elif 0x20 <= c < 0x7F:
            out.append(chr(c))
        else:
            out.append('\\x%02X' % c)
    return ''.join(out)


def value(ftype, decimals, v):
    if ftype == 'C':
        return esc((v or '').rstrip(' '))
    if ftype == 'M':
        if isinstance(v, bytes):
            v = v.decode('cp1252')
        return esc(v or '')
    if ftype in ('N', 'F'):
        # A blank number is 0 to the product.
        if v is None:
            v = 0
        return format(decimal.Decimal(str(v)), '.%df' % decimals)
    if ftype == 'D':
        if v is None or v == '':
            return ''
        if isinstance(v, (datetime.date, datetime.datetime)):
            return v.strftime('%Y%m%d')
        return str(v)
    if ftype == 'L':
        return 'T' if v else 'F'
    return '?' + esc(repr(v))


def field_line(name, ftype, length, decimals):
    return 'F\t%s\t%s\t%d\t%d' % (name.upper(), ftype, length, decimals)


def record_line(deleted, fields, values):
    parts = ['R', '*' if deleted else '-']
    for (ftype, decimals), v in zip(fields, values):
        parts.append(value(ftype, decimals, v))
    return '\t'.join(parts)


def emit(lines):
    sys.stdout.write(''.join(line + '\n' for line in lines))
