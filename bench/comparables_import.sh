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

bench_name=comparables_import
work=$(mktemp -d "${TMPDIR:-/tmp}/comparables-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/lib.sh
. "$(dirname "$0")/lib.sh"

[ -d "$build" ] || bench_die "no build folder '$build' (configure and build first, e.g. make build)"
bench_build ingestor sample-extractor make-sample-host db-summary comparables_data_bench
gen="$build/bench/comparables_data_bench"
bench_prepare

have_sqlite=false
bench_have_sqlite && have_sqlite=true
$have_sqlite || echo "sqlite3 is not installed: the baseline is skipped." >&2

# fresh_import SOURCE READ ADDED OVERWRITTEN: imports SOURCE (a file or
# folder) into a fresh empty database (the import creates the table) and
# checks what the log says it did.
fresh_import() {
  local database="$work/comps.mdb"
  rm -f "$database"
  : >"$database"
  bench_import 7 "$1" "$database" True
  bench_expect_counts "$2" "$3" "$4"
}

printf '%-8s %-7s %12s %12s %12s %7s %10s %10s %14s\n' N runs "main rows/s" "sqlite3 r/s" \
  "ratio" "RSS MB" "full s" "RSS MB" "supp rows/s"
for n in "${sizes[@]}"; do
  m=$((n / 4))
  data="$work/data-$n"
  "$gen" "$data" "$n" "$m" || bench_die "comparables_data_bench failed"
  # Nine supplement records in ten update a main row, the tenth adds one.
  updated=$((m - m / 10))
  bench_best "$runs" fresh_import "$data/src/xcomps.dat" "$n" "$n" 0
  main_s=$best_seconds main_rss=$best_rss_kb
  bench_best "$runs" fresh_import "$data/src" $((n + m)) $((n + m - updated)) "$updated"
  full_s=$best_seconds full_rss=$best_rss_kb
  main_rate=$(calc "$n / $main_s")
  supp_s=$(calc "$full_s - $main_s")
  supp_rate=$(calc "($supp_s > 0) ? $m / $supp_s : 0")
  if $have_sqlite; then
    bench_best "$runs" bench_sqlite_import "$data"
    base_rate=$(calc "$n / $best_seconds")
    ratio=$(calc "$main_rate / $base_rate")
  else
    base_rate=0
    ratio=0
  fi
  printf '%-8s %-7s %12.0f %12.0f %12.2f %7.1f %10.2f %10.1f %14.0f\n' "$n" "$runs" \
    "$main_rate" "$base_rate" "$ratio" "$(mb "$main_rss")" "$full_s" \
    "$(mb "$full_rss")" "$supp_rate"
  rm -rf "$data"
done
