#!/usr/bin/env bash
# Builds a sample host installation under the build tree and runs real
# unattended imports of it into the embedded database, every data type.
# Prints each run's exit status and log, where the databases are, and how many
# rows each table holds.
set -euo pipefail
build=${1:-build/default}
bin="$build/src/startup/ingestor"
demo="$(cd "$build" && pwd)/demo"
rm -rf "$demo"
mkdir -p "$demo"
"$build/tools/make-sample-host" "$demo/host" >/dev/null
host="$demo/host"

to_tail_path() { printf '%s' "$1" | tr '/' '\\'; }
# One unattended import: data type, source, database, no-comparisons flag.
run() {
  local type=$1 source=$2 database=$3 nocompare=$4
  # One output folder per run: each keeps its own log and backup.
  local out="$demo/out-$type"
  local tail_text
  tail_text="sample-extractor/$(to_tail_path "$source")/$(to_tail_path "$out")\\/$type/$(to_tail_path "$database")/False/$nocompare"
  echo "==> ingestor '$tail_text'"
  set +e
  # The host's Zev.ini is found in the Windows folder: a missing database is
  # made from the host's template.
  WINDIR="$host" INGESTOR_ALLOW_COMPARABLES="${INGESTOR_ALLOW_COMPARABLES:-}" "$bin" "$tail_text" </dev/null
  local status=$?
  set -e
  echo "    exit status $status"
}

responses="$demo/CommonResponses.mdb"
appraisals="$demo/Appraisals.mdb"
lenders="$demo/Lenders.mdb"
neighborhoods="$demo/Neighborhoods.mdb"
comparables="$demo/Comparables.mdb"
# Common responses: the host's set, then the user's private sets compared
# against them (nobody is at the terminal, so conflicts keep the existing rows
# and the log says so), then the global sets.
run 0 "$host/data" "$responses" True
run 1 "$host/private" "$responses" False
run 2 "$host/data/global.dat" "$responses" True
run 3 "$host/private/global.dat" "$responses" False
# The appraisal index, the lenders (e-mail and note from the host's
# lender.ini), the neighborhoods (placed by the host's conversion file) and,
# through the batch-use route, the comparable sales with their supplement.
run 4 "$host/data/didovuro.dta" "$appraisals" True
run 5 "$host/data" "$lenders" False
run 6 "$host/data/neigh1004.dta" "$neighborhoods" False
INGESTOR_ALLOW_COMPARABLES=1 run 7 "$host/data" "$comparables" True

echo
echo "Log files:"
logs=$(ls -1 "$demo"/out-*/*-logfile.txt)
printf '  %s\n' $logs
for database in "$responses" "$appraisals" "$lenders" "$neighborhoods" "$comparables"; do
  echo
  echo "Database: $database"
  "$build/tools/db-summary" "$database"
done
echo
last=$(printf '%s\n' $logs | tail -n 1)
echo "Log of the last run ($last):"
tr -d '\r' <"$last"
