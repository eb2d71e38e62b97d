#!/usr/bin/env bash
# Comparables main records imported into a PostgreSQL database through ODBC
# (the option form's --odbc), side by side with psql's \copy of the same rows
# as CSV into the same table on the same server:
#
#   tests/db/with-databases.sh bench/server_import.sh [BUILD_DIR] [N ...]
#                                                    (default: build/default 200000)
#
# Needs the throw-away server and driver configuration of
# tests/db/with-databases.sh (PGHOST, PGPORT, PGUSER, INGESTOR_TEST_ODBCSYSINI)
# and psql. For each N, RUNS times (default 3, best time kept):
#   import  ingestor imports N main records into a new, empty database (the
#           import creates the table): the import pass's rows/s, from the
#           log's "ET for import process";
#   \copy   the rows the import left, written out as CSV, then loaded by
#           psql's \copy into the same table emptied: rows/s.
# After the last run the table \copy filled must hold exactly the rows the
# import left (same count, same values in every column but the key);
# otherwise the script stops. Prints the ratio import / \copy (target: at
# least 0.5). Not part of the test suites.
set -euo pipefail

build=${1:-build/default}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(200000)
runs=${RUNS:-3}

bench_name=server_import
work=$(mktemp -d "${TMPDIR:-/tmp}/server-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/lib.sh
. "$(dirname "$0")/lib.sh"

[ -n "${INGESTOR_TEST_ODBCSYSINI:-}" ] && [ -n "${PGPORT:-}" ] ||
  bench_die "run it under tests/db/with-databases.sh (it starts the server)"
command -v psql >/dev/null || bench_die "psql is needed for the baseline"
[ -d "$build" ] || bench_die "no build folder '$build' (configure and build first, e.g. make build)"
bench_build ingestor sample-extractor make-sample-host comparables_data_bench
bench_prepare
export ODBCSYSINI=$INGESTOR_TEST_ODBCSYSINI
database=server_bench_$$
connection="DRIVER={SQL Server};Server=127.0.0.1;Database=$database;"
sql() { psql -X -q -v ON_ERROR_STOP=1 -At -d "$database" "$@"; }

# server_import FILE N: FILE into a new database; sets import_seconds.
server_import() {
  local out="$work/out"
  rm -rf "$out"
  psql -X -q -d postgres -c "DROP DATABASE IF EXISTS $database" -c "CREATE DATABASE $database"
  "$bin" --type comparables --extractor "$build/src/startup/sample-extractor" --source "$1" \
    --output "$out" --odbc "$connection" --no-compare --quiet </dev/null >"$work/stdout" \
    2>"$work/stderr" || bench_die "ingestor ended with status $?: $(tail -n 3 "$work/stderr")"
  tr -d '\r' <"$out"/*-logfile.txt >"$work/import.log"
  grep -q "File 'xcomps.dat.tmp': $2 read, $2 added, 0 overwritten, 0 kept, 0 rejected." \
    "$work/import.log" ||
    bench_die "the import did not add $2 rows: $(tail -n 5 "$work/import.log")"
  import_rss_kb=0
  import_seconds=$(sed -n 's/.*ET for import process was: \([0-9.]*\)s\..*/\1/p' "$work/import.log")
}

# copy_in: the CSV into the emptied table; sets import_seconds.
copy_in() {
  local t0 t1
  sql -c "TRUNCATE zazozurs"
  t0=$(date +%s.%N)
  sql -c "\\copy zazozurs ($columns) FROM '$work/rows.csv' WITH (FORMAT csv)"
  t1=$(date +%s.%N)
  import_rss_kb=0
  import_seconds=$(calc "$t1 - $t0")
}

printf '%-8s %-5s %14s %14s %8s\n' N runs "import rows/s" "\\copy rows/s" ratio
for n in "${sizes[@]}"; do
  data="$work/data-$n"
  "$build/bench/comparables_data_bench" "$data" "$n" 0 >/dev/null ||
    bench_die "comparables_data_bench failed"
  bench_best "$runs" server_import "$data/src/xcomps.dat" "$n"
  import_rate=$(calc "$n / $best_seconds")
  # Every column but the key, in table order; the import's rows kept aside.
  columns=$(sql -c "SELECT string_agg(quote_ident(column_name), ', ' ORDER BY ordinal_position)
                    FROM information_schema.columns
                    WHERE table_name = 'zazozurs' AND column_name <> 'id'")
  sql -c "\\copy (SELECT $columns FROM zazozurs ORDER BY id) TO '$work/rows.csv' WITH (FORMAT csv)"
  sql -c "CREATE TABLE imported AS SELECT $columns FROM zazozurs"
  bench_best "$runs" copy_in
  copy_rate=$(calc "$n / $best_seconds")
  [ "$(sql -c "SELECT count(*) FROM zazozurs")" = "$n" ] || bench_die "\\copy did not load $n rows"
  differ=$(sql -c "SELECT (SELECT count(*) FROM (SELECT $columns FROM zazozurs EXCEPT ALL
                                                 SELECT * FROM imported) a)
                        + (SELECT count(*) FROM (SELECT * FROM imported EXCEPT ALL
                                                 SELECT $columns FROM zazozurs) b)")
  [ "$differ" = 0 ] || bench_die "$differ rows differ between the import and \\copy"
  printf '%-8s %-5s %14.0f %14.0f %8.2f\n' "$n" "$runs" "$import_rate" "$copy_rate" \
    "$(calc "$import_rate / $copy_rate")"
  rm -rf "$data"
done
