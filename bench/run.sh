#!/usr/bin/env bash
# Table engine benchmarks: builds a Release build in build/bench, generates the
# data under bench/data/, checks every program computes the same results, then
# times each measurement as whole processes with hyperfine and prints a table.
#
#   bench/run.sh             all measurements, 5 timed runs each (dbfread: 2)
#   RUNS=10 bench/run.sh     more runs
#
# Needs: cmake, a C++ compiler, hyperfine, libsqlite3-dev (for the SQLite peer),
# sqlite3 and python3-dbfread (both optional: their rows are skipped when absent).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=$ROOT/build/bench
DATA=$ROOT/bench/data
RUNS=${RUNS:-5}
PY=/usr/bin/python3

command -v hyperfine >/dev/null || { echo "run.sh: hyperfine is not installed" >&2; exit 1; }

gen=()
[ -f "$BUILD/CMakeCache.txt" ] || gen=(-G Ninja)
cmake -S . -B "$BUILD" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release -DZOL_TESTS=OFF -DZOL_GUI=OFF >/dev/null
targets=(zol-bench zol-bench-plain)
if grep -q '^SQLite3_INCLUDE_DIR:PATH=/' "$BUILD/CMakeCache.txt"; then targets+=(zol-bench-sqlite); fi
cmake --build "$BUILD" --target "${targets[@]}"
BIN=$BUILD/bench
have_sqlite=0; [ -x "$BIN/zol-bench-sqlite" ] && have_sqlite=1
have_cli=0; command -v sqlite3 >/dev/null && [ $have_sqlite = 1 ] && have_cli=1
have_dbfread=0; $PY -c 'import dbfread' 2>/dev/null && have_dbfread=1

# ---------------------------------------------------------------- data
# The tables scans and lookups read; appends write their own copies in append/.
mkdir -p "$DATA/append" "$DATA/json"
rm -f "$DATA"/*.dbf "$DATA"/*.fpt "$DATA"/*.sqlite "$DATA"/json/*.json
echo "Generating data in $DATA ..."
"$BIN/zol-bench" articles "$DATA" >/dev/null
"$BIN/zol-bench" append "$DATA" >"$DATA/append.ours"
[ $have_sqlite = 1 ] && "$BIN/zol-bench-sqlite" insert "$DATA/entradas.sqlite" >"$DATA/append.sqlite"

# ---------------------------------------------------------------- same answers
# Every program must agree before any time means anything.
check_same() {  # label, expected line, command...
  local label=$1 want=$2; shift 2
  local got; got=$("$@")
  if [ "$got" != "$want" ]; then
    echo "run.sh: $label disagrees: got '$got', expected '$want'" >&2
    exit 1
  fi
}
sum_line=$("$BIN/zol-bench" scan "$DATA")
check_same "plain scan" "$sum_line" "$BIN/zol-bench-plain" scan "$DATA/entradas.dbf"
goto_line=$("$BIN/zol-bench" goto "$DATA")
check_same "plain goto" "$goto_line" "$BIN/zol-bench-plain" goto "$DATA/entradas.dbf"
if [ $have_sqlite = 1 ]; then
  check_same "SQLite insert" "$(cat "$DATA/append.ours")" cat "$DATA/append.sqlite"
  check_same "SQLite sum" "$sum_line" "$BIN/zol-bench-sqlite" sum "$DATA/entradas.sqlite"
  check_same "SQLite goto" "$goto_line" "$BIN/zol-bench-sqlite" goto "$DATA/entradas.sqlite"
fi
if [ $have_cli = 1 ]; then
  check_same "sqlite3 sum" "${sum_line#records * sum }" \
    sqlite3 "$DATA/entradas.sqlite" "SELECT printf('%.2f', sum(importe)) FROM entradas"
fi
if [ $have_dbfread = 1 ]; then
  check_same "dbfread scan" "$sum_line" $PY "$ROOT/bench/dbfread_scan.py" "$DATA/entradas.dbf"
fi
echo "All programs agree: $sum_line; $goto_line"

# ---------------------------------------------------------------- timings
# time NAME RUNS PREPARE COMMAND: one hyperfine run exported as json/NAME.json
time_it() {
  local name=$1 runs=$2 prepare=$3 cmd=$4
  local args=(--runs "$runs" --export-json "$DATA/json/$name.json" --style basic)
  args+=(-N)
  if [ -n "$prepare" ]; then args+=(--prepare "$prepare"); else args+=(--warmup 1); fi
  echo "== $name"
  hyperfine "${args[@]}" "$cmd" | grep -E 'Time|Range' || true
}

A=$DATA/append
time_it a_ours "$RUNS" "rm -f $A/entradas.dbf" "$BIN/zol-bench append $A"
if [ $have_sqlite = 1 ]; then
  time_it a_sqlite "$RUNS" "rm -f $A/entradas.sqlite" "$BIN/zol-bench-sqlite insert $A/entradas.sqlite"
  time_it a_sqlite_nosync "$RUNS" "rm -f $A/entradas.sqlite" "$BIN/zol-bench-sqlite insert $A/entradas.sqlite nosync"
fi
rm -f "$A"/entradas.*

time_it b_ours "$RUNS" "" "$BIN/zol-bench scan $DATA"
time_it b_plain "$RUNS" "" "$BIN/zol-bench-plain scan $DATA/entradas.dbf"
[ $have_sqlite = 1 ] && time_it b_sqlite "$RUNS" "" "$BIN/zol-bench-sqlite sum $DATA/entradas.sqlite"
[ $have_cli = 1 ] && time_it b_sqlite_cli "$RUNS" "" \
  "sqlite3 $DATA/entradas.sqlite 'SELECT sum(importe) FROM entradas'"
[ $have_dbfread = 1 ] && time_it b_dbfread 2 "" "$PY $ROOT/bench/dbfread_scan.py $DATA/entradas.dbf"

time_it c_ours "$RUNS" "" "$BIN/zol-bench goto $DATA"
time_it c_plain "$RUNS" "" "$BIN/zol-bench-plain goto $DATA/entradas.dbf"
[ $have_sqlite = 1 ] && time_it c_sqlite "$RUNS" "" "$BIN/zol-bench-sqlite goto $DATA/entradas.sqlite"

time_it x_articles 3 "rm -f $A/maeart.dbf $A/maeart.fpt" "$BIN/zol-bench articles $A"
rm -f "$A"/maeart.*

# ---------------------------------------------------------------- table
echo
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
$PY - "$DATA/json" <<'EOF'
import json, os, sys

d = sys.argv[1]
def load(name):
    p = os.path.join(d, name + '.json')
    if not os.path.exists(p):
        return None
    r = json.load(open(p))['results'][0]
    return dict(median=r['median'], min=r['min'], cpu=r['user'] + r['system'])

rows = [
    ('(a) append 1,000,000 movements', 'a_ours', [
        ('SQLite, one transaction', 'a_sqlite'),
        ('SQLite, one transaction, synchronous=OFF', 'a_sqlite_nosync')]),
    ('(b) full scan, sum of importe', 'b_ours', [
        ('plain C++ loop (floor)', 'b_plain'),
        ('SQLite SELECT sum(importe)', 'b_sqlite'),
        ('sqlite3 CLI SELECT sum(importe)', 'b_sqlite_cli'),
        ('python3-dbfread', 'b_dbfread')]),
    ('(c) 100,000 random goto + read', 'c_ours', [
        ('plain C++ pread per record (floor)', 'c_plain'),
        ('SQLite SELECT by rowid', 'c_sqlite')]),
    ('write 100,000 articles with notes', 'x_articles', []),
]
print('| measurement | program | median wall s | min wall s | CPU s (user+sys) | wall: peer / ours | CPU: peer / ours |')
print('|---|---|---:|---:|---:|---:|---:|')
for title, ours_name, peers in rows:
    ours = load(ours_name)
    if not ours:
        continue
    print('| %s | **our engine** | **%.3f** | %.3f | %.3f | | |' % (title, ours['median'], ours['min'], ours['cpu']))
    for label, name in peers:
        p = load(name)
        if p:
            print('| | %s | %.3f | %.3f | %.3f | %.2f | %.2f |' % (
                label, p['median'], p['min'], p['cpu'], p['median'] / ours['median'], p['cpu'] / ours['cpu']))
EOF
