#!/usr/bin/env bash
# Runs the fuzz targets for a while each and prints one table of them.
#
#   fuzz/run.sh [--build] [--merge] SECONDS_PER_TARGET [TARGET...]
#
#   --build   configure and build the "fuzz" preset first (clang, libFuzzer)
#   --merge   afterwards, merge the inputs that reach code edges the committed
#             corpus fuzz/corpus/<target>/ does not into it (never done
#             otherwise); hit counts are not weighed, so it stays small
#   TARGET    target names (responses, lenders, ...); all targets when none
#
# Each target runs over a scratch copy of its corpus and its regression
# inputs, with -max_total_time=SECONDS -rss_limit_mb=1024 -timeout=10 (the
# importers leak-check once at the end instead of after every input, and
# schedule their inputs weighed by speed). A failing input is kept under
# <build dir>/fuzz/findings/<target>/.
#
# The table has one row per target: the executions, executions a second,
# libFuzzer's coverage figure (cov:, the code edges reached), the inputs in
# the corpus at the end, and "ok" or "FAILED"; each failure's kept input (or
# log) is named below the table.
# Exit status: 0 when every target ran clean, 1 when any target failed
# (crash, sanitizer report, timeout, out of memory, leak), 2 on a usage or
# build error.
#
# Environment: FUZZ_BUILD_DIR overrides the build folder (default
# build/fuzz, the preset's); FUZZ_JOBS the build's parallelism (default 2).
set -u -o pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build_dir=${FUZZ_BUILD_DIR:-$root/build/fuzz}
jobs=${FUZZ_JOBS:-2}
all_targets=(responses file_index lenders neighborhoods comparables ini_file reg_store
  command_line like_pattern access_sql version_info)

usage() {
  sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

build=0
merge=0
while [[ $# -gt 0 && $1 == --* ]]; do
  case $1 in
    --build) build=1 ;;
    --merge) merge=1 ;;
    *) usage ;;
  esac
  shift
done
[[ $# -ge 1 && $1 =~ ^[0-9]+$ && $1 -gt 0 ]] || usage
seconds=$1
shift
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "fuzz/run.sh: unknown target '$t'" >&2; exit 2; }
done

if [[ $build -eq 1 ]]; then
  (cd "$root" && cmake --preset fuzz -B "$build_dir" >/dev/null) ||
    { echo "fuzz/run.sh: configuring the fuzz preset failed" >&2; exit 2; }
  cmake --build "$build_dir" -j "$jobs" >/dev/null ||
    { echo "fuzz/run.sh: building the fuzz targets failed" >&2; exit 2; }
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/ingestor-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The last value of "stat::<name>: <n>", else of the status lines' "<key>: <n>".
stat() {
  local log=$1 name=$2 key=$3 value
  value=$(grep -o "stat::$name: *[0-9]*" "$log" | tail -1 | grep -o '[0-9]*$')
  [[ -n $value ]] || value=$(grep -o "$key *[0-9]*" "$log" | tail -1 | grep -o '[0-9]*$')
  echo "${value:-0}"
}

failed=0
rows=()
failures=()
for t in "${targets[@]}"; do
  binary=$build_dir/fuzz/fuzz_$t
  if [[ ! -x $binary ]]; then
    echo "fuzz/run.sh: $binary is missing (run with --build)" >&2
    exit 2
  fi
  work=$scratch/$t
  mkdir -p "$work/corpus" "$work/artifacts"
  for seeds in "$here/corpus/$t" "$here/regressions/$t"; do
    [[ -d $seeds ]] && find "$seeds" -type f -exec cp {} "$work/corpus/" \;
  done
  log=$work/log
  # The importers keep a database, caches and log buffers across inputs, so
  # nearly every input looks like a leak to the per-input check, which then
  # costs more than the input itself. Leaks are still reported when the run ends.
  # An importer input's time grows with the records it frames, and libFuzzer
  # favours inputs that run loops more often: weighing each input by its speed
  # keeps a long run from drifting to the slowest ones (a neighborhoods run
  # late in its life made 1,500 executions a second instead of 1,030, and
  # reached more code in as many).
  extra=()
  case $t in
    responses | file_index | lenders | neighborhoods | comparables)
      extra=(-detect_leaks=0 -entropic_scale_per_exec_time=1)
      ;;
  esac
  # The sanitizer's quarantine alone holds up to 256 MB: a 15-minute importer
  # run grows to 550-600 MB without anything being wrong.
  (cd "$work" && "$binary" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=10 \
    "${extra[@]}" -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" \
    >"$log" 2>&1)
  status=$?

  runs=$(stat "$log" number_of_executed_units '^#')
  speed=$(stat "$log" average_exec_per_sec 'exec/s:')
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  corpus=$(find "$work/corpus" -type f | wc -l)
  artifact=$(find "$work/artifacts" -type f | head -1)
  if [[ $status -eq 0 && -z $artifact ]]; then
    result=ok
  else
    failed=1
    keep=$build_dir/fuzz/findings/$t
    mkdir -p "$keep"
    cp "$log" "$keep/last.log"
    if [[ -n $artifact ]]; then
      cp "$artifact" "$keep/"
      failures+=("$t: $keep/$(basename "$artifact")")
    else
      failures+=("$t: exit $status, no input kept; see $keep/last.log")
    fi
    result=FAILED
  fi
  row_format='%-14s %10s %8s %6s %7s  %s'
  rows+=("$(printf "$row_format" "$t" "$runs" "$speed" "${cov:-0}" "$corpus" "$result")")

  # The version reader's seeds are whole executables: inputs grown from them
  # are tens of KB each, so only small ones are added to its corpus, by hand.
  if [[ $merge -eq 1 && $result == ok && $t != version_info ]]; then
    mkdir -p "$here/corpus/$t"
    (cd "$work" && "$binary" -merge=1 -use_counters=0 -rss_limit_mb=1024 -timeout=10 "$here/corpus/$t" \
      "$work/corpus" >"$work/merge.log" 2>&1) ||
      echo "fuzz/run.sh: merging into fuzz/corpus/$t failed" >&2
  fi
done

printf '%-14s %10s %8s %6s %7s  %s\n' target executions exec/s cov corpus result
printf '%s\n' "${rows[@]}"
for f in "${failures[@]}"; do echo "failed: $f"; done
exit $failed
