#!/usr/bin/env bash
# Comparables import throughput against sqlite3's own CSV import.
#
#   bench/comparables_import.sh [BUILD_DIR] [N ...]      (default: build/default 50000 200000)
#
# For each N it generates N main records and N/4 supplement records
# (bench/comparables_data_bench.cpp), then, RUNS times each (default 3, best
# time kept):
#   main     ingestor imports the main file alone into a fresh, empty database
#            (the import creates the table): the main pass's rows/s, from the
#            log's "ET for import process", and the process's peak RSS;
#   full     ingestor imports main + supplement files into a fresh database:
#            the whole import's time, the supplement pass's rows/s (full - main)
#            and peak RSS;
#   sqlite3  sqlite3 .import of the same N main rows, decoded to CSV, into the
#            same table layout (same columns, same two indexes): rows/s.
# and prints the ratio main / sqlite3 (target: at least 1.5) and the peak RSS
# (target: under 64 MB, and flat from one N to the next).
#
# sqlite3 is installed with apt-get when missing and running as root;
# otherwise the baseline is skipped. Needs GNU time (/usr/bin/time) for the
# peak RSS. Not part of the test suites.
set -euo pipefail

build=${1:-build/default}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(50000 200000)
runs=${RUNS:-3}

die() {
  echo "comparables_import: $*" >&2
  exit 2
}

[ -d "$build" ] || die "no build folder '$build' (configure and build first, e.g. make build)"
cmake --build "$build" --target ingestor sample-extractor make-sample-host comparables_data_bench \
  >/dev/null || die "building the programs failed"
bin="$build/src/startup/ingestor"
gen="$build/bench/comparables_data_bench"
[ -x /usr/bin/time ] || die "GNU time (/usr/bin/time, Debian package time) is needed for peak RSS"

if ! command -v sqlite3 >/dev/null; then
  if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
    echo "Installing sqlite3 for the baseline..." >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq sqlite3 >/dev/null 2>&1 || true
  fi
fi
have_sqlite=false
command -v sqlite3 >/dev/null && have_sqlite=true
$have_sqlite || echo "sqlite3 is not installed: the baseline is skipped." >&2

work=$(mktemp -d "${TMPDIR:-/tmp}/comparables-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/tools/make-sample-host" "$work/host" >/dev/null

to_tail_path() { printf '%s' "$1" | tr '/' '\\'; }
calc() { awk "BEGIN { print $1 }"; }

# ingestor SOURCE: imports SOURCE (a file or folder) into a fresh empty
# database; prints "<import seconds> <peak RSS KB>".
run_ingestor() {
  local source=$1 out="$work/out" database="$work/comps.mdb"
  rm -rf "$out" "$database"
  mkdir -p "$out"
  : >"$database"
  local tail_text status
  tail_text="sample-extractor/$(to_tail_path "$source")/$(to_tail_path "$out")\\/7/$(to_tail_path "$database")/False/False"
  set +e
  WINDIR="$work/host" INGESTOR_ALLOW_COMPARABLES=1 /usr/bin/time -f '%M' -o "$work/rss" \
    "$bin" "$tail_text" </dev/null 2>"$work/stderr"
  status=$?
  set -e
  local log
  log=$(ls "$out"/*-logfile.txt)
  [ "$status" = 0 ] || die "ingestor ended with status $status; log: $(tr -d '\r' <"$log" | tail -n 5)"
  local seconds
  seconds=$(tr -d '\r' <"$log" | sed -n 's/.*ET for import process was: \([0-9.]*\)s\..*/\1/p')
  echo "$seconds $(tail -n 1 "$work/rss")"
}

# sqlite3 DIR: .import of DIR/main.csv into a fresh database with DIR/schema.sql;
# prints "<seconds> <peak RSS KB>".
run_sqlite() {
  local dir=$1 database="$work/baseline.db"
  rm -f "$database"
  sqlite3 "$database" <"$dir/schema.sql"
  local t0 t1
  t0=$(date +%s.%N)
  /usr/bin/time -f '%M' -o "$work/rss" sqlite3 "$database" -cmd '.mode csv' \
    ".import $dir/main.csv ZazOzurs"
  t1=$(date +%s.%N)
  echo "$(calc "$t1 - $t0") $(tail -n 1 "$work/rss")"
}

# best SECONDS_RSS_LINES: the smallest time and the largest RSS of the lines.
best() { sort -n | awk 'NR == 1 { t = $1 } { if ($2 > r) r = $2 } END { print t, r }'; }

printf '%-8s %-7s %12s %12s %12s %7s %10s %10s %14s\n' N runs "main rows/s" "sqlite3 r/s" \
  "ratio" "RSS MB" "full s" "RSS MB" "supp rows/s"
for n in "${sizes[@]}"; do
  m=$((n / 4))
  data="$work/data-$n"
  "$gen" "$data" "$n" "$m"
  main=$(for ((i = 0; i < runs; i++)); do run_ingestor "$data/src/xcomps.dat"; done | best)
  full=$(for ((i = 0; i < runs; i++)); do run_ingestor "$data/src"; done | best)
  base="0 0"
  if $have_sqlite; then
    base=$(for ((i = 0; i < runs; i++)); do run_sqlite "$data"; done | best)
  fi
  read -r main_s main_rss <<<"$main"
  read -r full_s full_rss <<<"$full"
  read -r base_s _ <<<"$base"
  main_rate=$(calc "$n / $main_s")
  supp_s=$(calc "$full_s - $main_s")
  supp_rate=$(calc "($supp_s > 0) ? $m / $supp_s : 0")
  if $have_sqlite; then
    base_rate=$(calc "$n / $base_s")
    ratio=$(calc "$main_rate / $base_rate")
  else
    base_rate=0
    ratio=0
  fi
  printf '%-8s %-7s %12.0f %12.0f %12.2f %7.1f %10.2f %10.1f %14.0f\n' "$n" "$runs" \
    "$main_rate" "$base_rate" "$ratio" "$(calc "$main_rss / 1024")" "$full_s" \
    "$(calc "$full_rss / 1024")" "$supp_rate"
  rm -rf "$data"
done
