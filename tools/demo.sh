#!/usr/bin/env bash
# Builds a sample host installation and runs a real unattended import of its
# lenders into the embedded database, then shows where the log and database are.
set -euo pipefail
build=${1:-build/default}
bin="$build/src/startup/ingestor"
demo=$(mktemp -d /tmp/ingestor-demo-XXXXXX)
"$build/tools/make-sample-host" "$demo/host" >/dev/null
mkdir -p "$demo/out"

to_tail_path() { printf '%s' "$1" | tr '/' '\\'; }
database="$demo/Lenders.mdb"
tail_text="sample-extractor/$(to_tail_path "$demo/host/data/lender.dta")/$(to_tail_path "$demo/out")\\/5/$(to_tail_path "$database")"
echo "Running: WINDIR=$demo/host $bin '$tail_text'"
set +e
# The host's Zev.ini is looked for in the Windows folder: the database is
# made from the host's template.
WINDIR="$demo/host" "$bin" "$tail_text" </dev/null
status=$?
set -e
log=$(ls -1 "$demo"/out/*-logfile.txt 2>/dev/null | head -n 1)
echo
echo "Exit status: $status"
echo "Log file:    ${log:-none}"
echo "Database:    $database"
if [ -n "$log" ]; then
  echo
  tr -d '\r' <"$log"
fi
