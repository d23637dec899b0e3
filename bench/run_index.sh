#!/usr/bin/env bash
# Index benchmarks: tag builds, seeks, appends with live tags and the whole
# reindex, our engine side by side with SQLite on the same rows and with an
# in-memory sort floor. Builds a Release build in build/bench-idx, generates
# the data under build/bench-idx/data/, checks every program orders and finds the
# same records, then times whole processes with hyperfine and prints a table.
#
#   bench/run_index.sh              5 timed runs per measurement
#   RUNS=10 bench/run_index.sh      more runs
#   SRC=/path/to/tree bench/run_index.sh   build another source tree (e.g. an
#                                   export of a commit) into the same build dir
#
# Needs: cmake, a C++ compiler, hyperfine, libsqlite3-dev, GNU time (/usr/bin/time).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
SRC=${SRC:-$ROOT}
BUILD=$ROOT/build/bench-idx
DATA=${DATA:-$BUILD/data}
RUNS=${RUNS:-5}
PY=/usr/bin/python3

command -v hyperfine >/dev/null || { echo "run_index.sh: hyperfine is not installed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "run_index.sh: /usr/bin/time (package time) is not installed" >&2; exit 1; }

gen=()
[ -f "$BUILD/CMakeCache.txt" ] || gen=(-G Ninja)
cmake -S "$SRC" -B "$BUILD" "${gen[@]}" -DCMAKE_BUILD_TYPE=Release -DZOL_TESTS=OFF -DZOL_GUI=OFF >/dev/null
grep -q '^SQLite3_INCLUDE_DIR:PATH=/' "$BUILD/CMakeCache.txt" || { echo "run_index.sh: libsqlite3-dev is missing" >&2; exit 1; }
cmake --build "$BUILD" --target zol-bench zol-bench-index zol-bench-keysort zol-bench-sqlite-index
BIN=$BUILD/bench
OURS=$BIN/zol-bench-index FLOOR=$BIN/zol-bench-keysort LITE=$BIN/zol-bench-sqlite-index

# ---------------------------------------------------------------- data
# base/ holds the generated tables (entradas with ent01+ent02 in its .cdx),
# base.sqlite the same rows without indexes, base-idx.sqlite with ent01+ent02.
# Timed runs work on copies: build/, append/, reindex/ and work.sqlite.
B=$DATA/base
rm -rf "$DATA" && mkdir -p "$B" "$DATA/build" "$DATA/json"
echo "Generating data in $DATA ..."
"$BIN/zol-bench" articles "$B" >/dev/null
"$BIN/zol-bench" append "$B" >/dev/null
"$OURS" salidas "$B"
cp "$B"/*.dbf "$B"/*.fpt "$DATA/build/"
"$OURS" build "$B" ent01 >/dev/null
"$OURS" build "$B" ent02 >/dev/null
"$LITE" load "$DATA/base.sqlite" >/dev/null
cp "$DATA/base.sqlite" "$DATA/base-idx.sqlite"
"$LITE" build "$DATA/base-idx.sqlite" ent01 nosync >/dev/null
"$LITE" build "$DATA/base-idx.sqlite" ent02 nosync >/dev/null
"$FLOOR" seekkeys "$B/entradas.dbf" "$DATA/seek.keys"
"$FLOOR" build "$B/entradas.dbf" ent01 "$DATA/ent01.sorted" >/dev/null

table_of() { case $1 in ent*) echo entradas ;; *) echo maeart ;; esac; }
# Preparations as small scripts: hyperfine -N runs --prepare without a shell
# too, so "a && b" or a glob given to it inline would reach rm as arguments.
prep() {  # NAME COMMANDS: writes $DATA/NAME.sh, prints the command running it
  printf 'set -e\n%s\n' "$2" >"$DATA/$1.sh"
  echo "bash $DATA/$1.sh"
}
fresh_sqlite=$(prep fresh_sqlite "cp $DATA/base.sqlite $DATA/work.sqlite")
fresh_build=$(prep fresh_build "rm -f $DATA/build/*.cdx")
fresh_append=$(prep fresh_append "rm -rf $DATA/append; mkdir $DATA/append
cp $B/entradas.dbf $B/entradas.cdx $DATA/append/
cp $DATA/base-idx.sqlite $DATA/work.sqlite")
fresh_reindex=$(prep fresh_reindex "rm -rf $DATA/reindex; mkdir $DATA/reindex
cp $B/entradas.dbf $B/salidas.dbf $B/maeart.dbf $B/maeart.fpt $DATA/reindex/")

# ---------------------------------------------------------------- same answers
# Every program must agree before any time means anything: same keys in the
# same record order (checksum of the record numbers), same seeks found.
check_same() {  # label, expected, command...
  local label=$1 want=$2; shift 2
  local got; got=$("$@")
  if [ "$got" != "$want" ]; then
    echo "run_index.sh: $label disagrees: got '$got', expected '$want'" >&2
    exit 1
  fi
}
declare -A order
for t in ent01 ent02 art01 art02; do
  $fresh_build
  order[$t]=$("$OURS" build "$DATA/build" $t check)
  check_same "floor $t" "${order[$t]}" "$FLOOR" build "$DATA/build/$(table_of $t).dbf" $t check
  $fresh_sqlite
  check_same "SQLite $t" "${order[$t]}" "$LITE" build "$DATA/work.sqlite" $t nosync check
  echo "  ${order[$t]}"
done
seek_line=$("$OURS" seek "$B" "$DATA/seek.keys")
check_same "floor seek" "$seek_line" "$FLOOR" seek "$DATA/ent01.sorted" "$DATA/seek.keys"
check_same "SQLite seek" "$seek_line" "$LITE" seek "$DATA/base-idx.sqlite" "$DATA/seek.keys"
echo "  $seek_line"
$fresh_append
append_lines=$("$OURS" append "$DATA/append" check)
check_same "SQLite append" "$append_lines" "$LITE" append "$DATA/work.sqlite" nosync check
echo "$append_lines" | sed 's/^/  /'
$fresh_reindex
reindex_lines=$("$OURS" reindex "$DATA/reindex" check)
for t in ent01 ent02 art01 art02; do
  grep -qxF "${order[$t]}" <<<"$reindex_lines" || { echo "run_index.sh: reindex $t differs from the build" >&2; exit 1; }
done
echo "All programs agree."

# ---------------------------------------------------------------- timings
time_it() {  # NAME PREPARE COMMAND: one hyperfine run exported as json/NAME.json
  local name=$1 prepare=$2 cmd=$3
  local args=(--runs "$RUNS" --export-json "$DATA/json/$name.json" --style basic -N)
  if [ -n "$prepare" ]; then args+=(--prepare "$prepare"); else args+=(--warmup 1); fi
  echo "== $name"
  hyperfine "${args[@]}" "$cmd" | grep -E 'Time|Range' || true
}
# Peak resident memory of one run, in KB, after the same preparation.
rss_of() {  # NAME PREPARE COMMAND
  if [ -n "$2" ]; then $2; fi
  /usr/bin/time -f '%M' -o "$DATA/json/$1.rss" bash -c "exec $3 >/dev/null"
}
measure() { time_it "$@"; rss_of "$@"; }

for t in ent01 ent02 art01 art02; do
  tb=$(table_of $t)
  measure "${t}_ours" "$fresh_build" "$OURS build $DATA/build $t"
  measure "${t}_floor" "" "$FLOOR build $DATA/build/$tb.dbf $t"
  measure "${t}_sqlite" "$fresh_sqlite" "$LITE build $DATA/work.sqlite $t"
  measure "${t}_sqlite_nosync" "$fresh_sqlite" "$LITE build $DATA/work.sqlite $t nosync"
done
measure seek_ours "" "$OURS seek $B $DATA/seek.keys"
measure seek_floor "" "$FLOOR seek $DATA/ent01.sorted $DATA/seek.keys"
measure seek_sqlite "" "$LITE seek $DATA/base-idx.sqlite $DATA/seek.keys"
measure append_ours "$fresh_append" "$OURS append $DATA/append"
measure append_sqlite "$fresh_append" "$LITE append $DATA/work.sqlite"
measure append_sqlite_nosync "$fresh_append" "$LITE append $DATA/work.sqlite nosync"
measure reindex_ours "$fresh_reindex" "$OURS reindex $DATA/reindex"
rm -rf "$DATA/append" "$DATA/reindex" "$DATA/work.sqlite"

# ---------------------------------------------------------------- table
echo
echo "$(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
$PY - "$DATA/json" <<'EOF_PY'
import json, os, sys

d = sys.argv[1]
def load(name):
    p = os.path.join(d, name + '.json')
    if not os.path.exists(p):
        return None
    r = json.load(open(p))['results'][0]
    rss = os.path.join(d, name + '.rss')
    mb = int(open(rss).read().split()[-1]) / 1024 if os.path.exists(rss) else float('nan')
    return dict(median=r['median'], min=r['min'], cpu=r['user'] + r['system'], rss=mb)

rows = []
for t, what in [('ent01', '1,000,000 keys of 14 bytes'), ('ent02', '1,000,000 keys of 14 bytes'),
                ('art01', '100,000 numeric keys'), ('art02', '100,000 keys of 40 bytes')]:
    rows.append(('build %s (%s)' % (t, what), t + '_ours', [
        ('floor: read, make keys, sort in memory', t + '_floor'),
        ('SQLite CREATE INDEX', t + '_sqlite'),
        ('SQLite CREATE INDEX, synchronous=OFF', t + '_sqlite_nosync')]))
rows += [
    ('100,000 seeks on ent01', 'seek_ours', [
        ('floor: binary search in memory', 'seek_floor'),
        ('SQLite indexed point lookup', 'seek_sqlite')]),
    ('append 100,000 movements, ent01+ent02 open', 'append_ours', [
        ('SQLite INSERT, two indexes, one transaction', 'append_sqlite'),
        ('SQLite, the same with synchronous=OFF', 'append_sqlite_nosync')]),
    ('full reindex and pack (ZOL2000)', 'reindex_ours', []),
]
print('| measurement | program | median wall s | min wall s | CPU s (user+sys) | peak RSS MB | wall: other / ours | CPU: other / ours |')
print('|---|---|---:|---:|---:|---:|---:|---:|')
for title, ours_name, peers in rows:
    ours = load(ours_name)
    if not ours:
        continue
    print('| %s | **our engine** | **%.3f** | %.3f | %.3f | %.0f | | |' % (
        title, ours['median'], ours['min'], ours['cpu'], ours['rss']))
    for label, name in peers:
        p = load(name)
        if p:
            print('| | %s | %.3f | %.3f | %.3f | %.0f | %.2f | %.2f |' % (
                label, p['median'], p['min'], p['cpu'], p['rss'], p['median'] / ours['median'], p['cpu'] / ours['cpu']))
EOF_PY
