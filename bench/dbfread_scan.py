"""python3-dbfread's full scan of the Entries table, summing importe."""
import sys

import dbfread

total = 0.0
count = 0
for record in dbfread.DBF(sys.argv[1], encoding='cp1252'):
    total += record['IMPORTE']
    count += 1
print('records %d sum %.2f' % (count, total))
