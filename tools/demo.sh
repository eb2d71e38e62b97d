#!/usr/bin/env bash
# Runs the built ingestor on a small sample folder and shows where its log is.
set -euo pipefail
build=${1:-build/default}
bin="$build/src/startup/ingestor"
demo=$(mktemp -d /tmp/ingestor-demo-XXXXXX)
mkdir -p "$demo/host" "$demo/out"
# A lender data file in the host's folder (contents are extracted later).
printf 'sample lender data\n' > "$demo/host/lender.dta"

to_tail_path() { printf '%s' "$1" | tr '/' '\\'; }
tail_text="sample-extractor/$(to_tail_path "$demo/host")\\/$(to_tail_path "$demo/out")\\/5/$(to_tail_path "$demo/Lenders.mdb")"
echo "Running: $bin '$tail_text'"
set +e
"$bin" "$tail_text" </dev/null
status=$?
set -e
log=$(ls -1 "$demo"/out/*-logfile.txt 2>/dev/null | head -n 1)
echo "Exit status: $status"
echo "Log file:    ${log:-none}"
echo "Database:    $demo/Lenders.mdb"
if [ "$status" -ne 0 ]; then
  echo "The import pipeline is not built yet: the command line was accepted and the log file"
  echo "opened, and the import itself reports that it did not complete."
fi
