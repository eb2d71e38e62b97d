#!/usr/bin/env bash
# Every import benchmark in one run, as Markdown tables on standard output
# (progress goes to standard error):
#
#   bench/run-all.sh BUILD_DIR [--records N] [--growth N] [--runs R] [--strict] [--no-build]
#
#   --records N  records per import in sections 1, 2 and 4; every import runs
#                at N and at 4N (default 50000; environment BENCH_RECORDS)
#   --growth N   N of the growth check, section 3 (default 10000; BENCH_GROWTH)
#   --runs R     timed runs per figure; the least time and the largest peak
#                RSS of the runs are kept (default 3; BENCH_RUNS)
#   --strict     exit 1 when a check fails or a growth ratio is flagged
#                (BENCH_STRICT=1)
#   --no-build   run the programs as they are in BUILD_DIR instead of
#                building them first (BENCH_NO_BUILD=1)
#
# Every figure comes from the real ingestor binary, started as the host starts
# it (unattended, sample-extractor as the extraction program, a sample host
# from make-sample-host for the templates and the conversion file), on load
# files from make-bench-data and comparables_data_bench. Each run's log must
# count exactly the records read, added and overwritten that the run is
# meant to make (none kept, none rejected), and the table must hold the rows
# expected afterwards; otherwise the script stops.
#
#  1. Throughput: each importer into a fresh database, no comparisons, at N
#     and 4N records: the import pass's time (the log's "ET for import
#     process"), rows/s and the process's peak RSS (GNU time). The
#     supplement pass is timed as a main + supplement import less the main
#     import alone (N main records and N supplement records). Beside each,
#     its hand-written baseline (bench/handwritten_bench.cpp: the same load
#     file decoded with the same layouts, the same statements into the same
#     table and indexes, one transaction per file, no record set, no window)
#     and the ratio of the two, so the cost of those is a number. The
#     baseline's table must hold exactly the rows the import's does.
#  2. Comparables main records against sqlite3's .import of the same rows as
#     CSV into the same table and indexes: the import pass and the whole
#     process (end to end).
#  3. Growth of the imports that compare each record with the table (common
#     responses, lenders, neighborhoods): N new records into a table of N
#     rows, then 4N into 4N; 4.0 is linear, above 4.4 is flagged.
#  4. Memory: each import's peak RSS at N and 4N (the compared imports at
#     their growth sizes) against "under 40 MB and flat: 4N peak <= 1.25 x N
#     peak + 4 MB", one PASS/FAIL line each.
#  5. Targets: one PASS/FAIL line per speed target (section 1 and 2 ratios).
#
# Exit status: 0 every figure was measured (the PASS/FAIL lines say how they
# compare with the targets); 1 with --strict, a check failed; 2 a step failed
# or a figure could not be measured (the message on standard error says which).
# Needs GNU time (Debian package time) and sqlite3 (installed with apt-get
# when missing and running as root).
set -euo pipefail

usage() {
  sed -n '4,15p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

[ $# -ge 1 ] || usage
build=$1
shift
records=${BENCH_RECORDS:-50000}
growth=${BENCH_GROWTH:-10000}
runs=${BENCH_RUNS:-3}
strict=${BENCH_STRICT:-0}
no_build=${BENCH_NO_BUILD:-0}
while [ $# -gt 0 ]; do
  case $1 in
    --records) records=${2:-}; shift 2 || usage ;;
    --growth) growth=${2:-}; shift 2 || usage ;;
    --runs) runs=${2:-}; shift 2 || usage ;;
    --strict) strict=1; shift ;;
    --no-build) no_build=1; shift ;;
    *) usage ;;
  esac
done
for number in "$records" "$growth" "$runs"; do
  [[ "$number" =~ ^[1-9][0-9]*$ ]] || { echo "run-all: '$number' is not a positive whole number" >&2; exit 2; }
done
[ "$growth" -ge 8 ] || { echo "run-all: --growth must be at least 8" >&2; exit 2; }

bench_name=run-all
[ -d "$build" ] || { echo "run-all: no build folder '$build' (configure and build first)" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ingestor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/lib.sh
. "$(dirname "$0")/lib.sh"

if [ "$no_build" != 1 ]; then
  bench_note "building the programs in $build..."
  bench_build ingestor sample-extractor make-sample-host db-summary make-bench-data \
    comparables_data_bench handwritten_bench
fi
for program in bench/make-bench-data bench/comparables_data_bench bench/handwritten_bench \
  tools/db-summary; do
  [ -x "$build/$program" ] || bench_die "no $build/$program (build it, or leave out --no-build)"
done
bench_prepare
bench_have_sqlite || bench_die "sqlite3 is needed for the baseline (Debian package sqlite3)"
make_data="$build/bench/make-bench-data"
make_comps="$build/bench/comparables_data_bench"
tags_ini="$host/Addons/Neighbor/NeighTags.ini"
load_before=$(cut -d ' ' -f 1-3 /proc/loadavg)
started=$(date +%s)

# Results, by "label|records": best time (s), largest peak RSS (KB) and best
# time end to end (s).
declare -A secs rss total
remember() {
  secs["$1|$2"]=$3
  rss["$1|$2"]=$4
  total["$1|$2"]=${5:-$3}
}

# shellcheck disable=SC2317  # fresh and compared_load run through bench_best
# fresh TYPE SOURCE TABLE EMPTY READ ADDED OVERWRITTEN ROWS: one import into a
# fresh database without comparisons. EMPTY "empty" starts from an empty
# database (the import creates its table); otherwise the ingestor copies the
# host's template as it does for a database that does not exist.
fresh() {
  local database="$work/run.mdb"
  rm -f "$database"
  [ "$4" = empty ] && : >"$database"
  bench_import "$1" "$2" "$database" 1
  bench_expect_counts "$5" "$6" "$7"
  bench_expect_rows "$database" "$3" "$8"
}

# measure LABEL N TYPE SOURCE TABLE EMPTY: best of the runs of N records.
measure() {
  local label=$1 n=$2
  bench_note "$label: $(grouped "$n") records, $runs run(s)..."
  bench_best "$runs" fresh "$3" "$4" "$5" "$6" "$n" "$n" 0 "$n"
  remember "$label" "$n" "$best_seconds" "$best_rss_kb" "$best_total_seconds"
}

# shellcheck disable=SC2317  # runs through bench_best
# hand START KIND SOURCE...: the hand-written loop into a fresh database:
# START "empty" for an empty file, else the host's template of that name.
hand() {
  local start=$1
  shift
  rm -f "$work/hand.db"
  if [ "$start" = empty ]; then : >"$work/hand.db"; else cp "$host/Data/$start" "$work/hand.db"; fi
  bench_handwritten "$1" "$work/hand.db" "${@:2}"
}

# baseline LABEL N TABLE START KIND SOURCE...: the hand-written loop of the
# import just measured, whose last database ($work/run.mdb) it must match.
baseline() {
  local label=$1 n=$2 table=$3
  shift 3
  bench_note "$label, hand-written: $(grouped "$n") records, $runs run(s)..."
  bench_best "$runs" hand "$@"
  bench_same_rows "$table" "$work/run.mdb" "$work/hand.db"
  remember "$label (hand-written)" "$n" "$best_seconds" 0 "$best_total_seconds"
}

# --- 1 and 4: every importer at N and 4N, fresh databases -------------------
sizes=("$records" $((4 * records)))
for n in "${sizes[@]}"; do
  data="$work/data"
  rm -rf "$data"
  "$make_data" responses "$data/responses" "$n" || bench_die "make-bench-data responses failed"
  measure "common responses" "$n" 0 "$data/responses" resp empty
  baseline "common responses" "$n" resp empty responses "$data/responses/resp.dat"
  "$make_data" fileindex "$data/fileindex" "$n" || bench_die "make-bench-data fileindex failed"
  measure "file index" "$n" 4 "$data/fileindex" FileIndex template
  baseline "file index" "$n" FileIndex Appraisals.mdb fileindex "$data/fileindex/didovuro.dta"
  "$make_data" lenders "$data/lenders" "$n" || bench_die "make-bench-data lenders failed"
  measure "lenders" "$n" 5 "$data/lenders" Lenders template
  baseline "lenders" "$n" Lenders Lenders.mdb lenders "$data/lenders"
  "$make_data" lenders "$data/lenders-fixed" "$n" 0 1000 || bench_die "make-bench-data lenders failed"
  measure "lenders, lender.ini of 1,000" "$n" 5 "$data/lenders-fixed" Lenders template
  baseline "lenders, lender.ini of 1,000" "$n" Lenders Lenders.mdb lenders "$data/lenders-fixed"
  "$make_data" neighborhoods "$data/neighborhoods" "$n" 0 "$tags_ini" ||
    bench_die "make-bench-data neighborhoods failed"
  measure "neighborhoods" "$n" 6 "$data/neighborhoods" Neighborhoods template
  baseline "neighborhoods" "$n" Neighborhoods Neighborhoods.mdb neighborhoods \
    "$data/neighborhoods/neigh1004.dta" "$tags_ini"
  bench_same_rows Neighborhoods2 "$work/run.mdb" "$work/hand.db"
  rm -rf "$data"

  # Comparables: N main records, N supplement records; nine supplement records
  # in ten update a main row of the same import, the tenth adds a row.
  "$make_comps" "$data/comps" "$n" "$n" || bench_die "comparables_data_bench failed"
  measure "comparables main" "$n" 7 "$data/comps/src/xcomps.dat" ZazOzurs empty
  added=$((n / 10))
  bench_note "comparables main + supplement: $(grouped "$n") + $(grouped "$n") records, $runs run(s)..."
  bench_best "$runs" fresh 7 "$data/comps/src" ZazOzurs empty $((2 * n)) $((n + added)) \
    $((n - added)) $((n + added))
  remember "comparables main + supplement" "$n" "$best_seconds" "$best_rss_kb"
  supplement=$(calc "$best_seconds - ${secs["comparables main|$n"]}")
  calc_true "$supplement > 0" ||
    bench_die "the supplement pass took no measurable time at $n records (main ${secs["comparables main|$n"]} s, main + supplement $best_seconds s)"
  remember "comparables supplement" "$n" "$supplement" "$best_rss_kb"
  # The baseline times the main file and the supplement file apart.
  baseline "comparables main" "$n" ZazOzurs empty comparables "$data/comps"
  remember "comparables supplement (hand-written)" "$n" "$best_total_seconds" 0

  bench_note "sqlite3 .import: $(grouped "$n") rows, $runs run(s)..."
  bench_best "$runs" bench_sqlite_import "$data/comps"
  remember "sqlite3 .import" "$n" "$best_seconds" "$best_rss_kb"
  rm -rf "$data"
done

# --- 3: compared imports, N into N and 4N into 4N ----------------------------
# compared LABEL KIND TYPE TABLE EMPTY N: seeds a table with N rows (no
# comparisons), then times N records with new keys imported into a copy of it
# with comparisons on: each record is looked up, none conflicts.
growth_rows=()
# shellcheck disable=SC2317
compared_load() {
  cp "$work/seed.mdb" "$work/run.mdb"
  bench_import "$1" "$2" "$work/run.mdb" 0
  bench_expect_counts "$4" "$4" 0
  bench_expect_rows "$work/run.mdb" "$3" $((2 * $4))
}
compared() {
  local label=$1 kind=$2 type=$3 table=$4 empty=$5 n=$6 extra=()
  [ "$kind" = neighborhoods ] && extra=("$tags_ini")
  bench_note "$label: $(grouped "$n") records into $(grouped "$n") rows, $runs run(s)..."
  rm -rf "$work/seed" "$work/load" "$work/seed.mdb"
  "$make_data" "$kind" "$work/seed" "$n" 0 "${extra[@]}" || bench_die "make-bench-data $kind failed"
  "$make_data" "$kind" "$work/load" "$n" "$n" "${extra[@]}" || bench_die "make-bench-data $kind failed"
  [ "$empty" = empty ] && : >"$work/seed.mdb"
  bench_import "$type" "$work/seed" "$work/seed.mdb" 1
  bench_expect_counts "$n" "$n" 0
  bench_expect_rows "$work/seed.mdb" "$table" "$n"
  bench_best "$runs" compared_load "$type" "$work/load" "$table" "$n"
  remember "$label" "$n" "$best_seconds" "$best_rss_kb"
  rm -rf "$work/seed" "$work/load" "$work/seed.mdb" "$work/run.mdb"
}
for growth_case in "common responses|responses|0|resp|empty|$growth" \
  "lenders|lenders|5|Lenders|template|$growth" \
  "neighborhoods|neighborhoods|6|Neighborhoods|template|$growth"; do
  IFS='|' read -r label kind type table empty n <<<"$growth_case"
  compared "$label, compared" "$kind" "$type" "$table" "$empty" "$n"
  compared "$label, compared" "$kind" "$type" "$table" "$empty" $((4 * n))
  growth_rows+=("$label, compared|$n")
done

# --- the report ----------------------------------------------------------------
failed=0
rate() { calc "$2 / ${secs["$1|$2"]}"; }
# versus LABEL N: the import's time over its hand-written baseline's.
versus() { calc "${secs["$1|$2"]} / ${secs["$1 (hand-written)|$2"]}"; }
fmt_rate() { grouped "$(rate "$1" "$2")"; }
fmt_mb() { printf '%.1f' "$(mb "${rss["$1|$2"]}")"; }
fmt_s() { printf '%.3f' "${secs["$1|$2"]}"; }

echo "# Import benchmarks"
echo
echo "$(uname -srm), $(nproc) cores; build \`$build\`; $(date '+%Y-%m-%d %H:%M')," \
  "$(($(date +%s) - started)) s in all; load average $load_before at the start," \
  "$(cut -d ' ' -f 1-3 /proc/loadavg) at the end."
echo "Each time is the least of $runs run(s), each peak RSS the largest; rows/s count the"
echo "import pass alone (the log's \"ET for import process\"), RSS is the whole process."
echo
echo "## 1. Throughput: one import into a fresh database, no comparisons"
echo
echo "| importer | records | import s | rows/s | peak RSS (MB) | hand-written s | x hand-written |"
echo "|---|---:|---:|---:|---:|---:|---:|"
throughput_labels=("common responses" "file index" "lenders" "lenders, lender.ini of 1,000"
  "neighborhoods" "comparables main" "comparables supplement")
for label in "${throughput_labels[@]}"; do
  for n in "${sizes[@]}"; do
    printf '| %s | %s | %s | %s | %s | %s | %.2f |\n' "$label" "$(grouped "$n")" \
      "$(fmt_s "$label" "$n")" "$(fmt_rate "$label" "$n")" "$(fmt_mb "$label" "$n")" \
      "$(fmt_s "$label (hand-written)" "$n")" "$(versus "$label" "$n")"
  done
done
echo
echo "\"lenders\" reads a lender.ini with a contact for every lender (as the host keeps"
echo "it); \"lender.ini of 1,000\" keeps that file small to show the record stream alone."
echo "The supplement row is a main + supplement import ($(grouped "$records") + $(grouped "$records")"
echo "records and 4x that) less the main import alone; its RSS is the combined import's."
echo "\"hand-written\" is bench/handwritten_bench.cpp: the same file decoded with the same"
echo "layouts, the same INSERT (supplement: UPDATE by WCID or INSERT) statements into the same"
echo "table and indexes, prepared once, one transaction per file; its table is checked to hold"
echo "exactly the import's rows. \"x hand-written\" is the import's time over the loop's."
echo
echo "## 2. Comparables main records against sqlite3 .import"
echo
echo "| records | sqlite3 s | hand-written s | x sqlite3 | import s | x sqlite3 | end to end s |" \
  "x sqlite3 |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
for n in "${sizes[@]}"; do
  theirs=${secs["sqlite3 .import|$n"]}
  hand_s=${secs["comparables main (hand-written)|$n"]}
  ours=${secs["comparables main|$n"]}
  whole=${total["comparables main|$n"]}
  printf '| %s | %.3f | %.3f | %.2f | %.3f | %.2f | %.3f | %.2f |\n' "$(grouped "$n")" "$theirs" \
    "$hand_s" "$(calc "$theirs / $hand_s")" "$ours" "$(calc "$theirs / $ours")" "$whole" \
    "$(calc "$theirs / $whole")"
done
echo
echo "sqlite3 imports the same rows decoded to CSV into the same table and indexes (the"
echo "whole sqlite3 process); \"x sqlite3\" is its time over the other's, so above 1 is faster."
echo "The import is the log's \"ET for import process\"; end to end is the ingestor process."
echo
echo "## 3. Growth of the compared imports: N new records into N rows, 4N into 4N"
echo
echo "| import | N | N into N: s | rows/s | 4N into 4N: s | rows/s | time ratio (4.0 is linear) | |"
echo "|---|---:|---:|---:|---:|---:|---:|---|"
flagged=0
for entry in "${growth_rows[@]}"; do
  label=${entry%|*} n=${entry#*|} n4=$((4 * ${entry#*|}))
  ratio=$(calc "${secs["$label|$n4"]} / ${secs["$label|$n"]}")
  verdict=ok
  if calc_true "$ratio > 4.4"; then
    verdict="**FLAG: above 4.4**"
    flagged=$((flagged + 1))
  fi
  printf '| %s | %s | %s | %s | %s | %s | %.2f | %s |\n' "$label" "$(grouped "$n")" \
    "$(fmt_s "$label" "$n")" "$(fmt_rate "$label" "$n")" "$(fmt_s "$label" "$n4")" \
    "$(fmt_rate "$label" "$n4")" "$ratio" "$verdict"
done
echo
echo "Every record has a key the table does not hold: each is looked up and added."
echo
echo "## 4. Memory: peak RSS at N and 4N"
echo
echo "Target: under 40 MB and flat (4N peak <= 1.25 x N peak + 4 MB)."
echo
echo "| import | N | peak at N (MB) | peak at 4N (MB) | 4N limit (MB) | result |"
echo "|---|---:|---:|---:|---:|---|"
memory_rows=()
for label in "common responses" "file index" "lenders" "lenders, lender.ini of 1,000" \
  "neighborhoods" "comparables main" "comparables main + supplement"; do
  memory_rows+=("$label|$records")
done
memory_rows+=("${growth_rows[@]}")
verdicts=()
for entry in "${memory_rows[@]}"; do
  label=${entry%|*} n=${entry#*|} n4=$((4 * ${entry#*|}))
  small=$(mb "${rss["$label|$n"]}") large=$(mb "${rss["$label|$n4"]}")
  limit=$(calc "1.25 * $small + 4")
  why=
  calc_true "$small < 40 && $large < 40" || why="over 40 MB"
  calc_true "$large <= $limit" || why="${why:+$why, }not flat"
  result=PASS
  if [ -n "$why" ]; then
    result=FAIL
    failed=1
  fi
  printf '| %s | %s | %.1f | %.1f | %.1f | %s |\n' "$label" "$(grouped "$n")" "$small" "$large" \
    "$limit" "$result${why:+ ($why)}"
  verdicts+=("$(printf -- '- %s %s: %.1f MB at %s records, %.1f MB at %s%s' "$result" "$label" \
    "$small" "$(grouped "$n")" "$large" "$(grouped "$n4")" "${why:+ ($why)}")")
done
echo
printf '%s\n' "${verdicts[@]}"
echo
passed=0
for line in "${verdicts[@]}"; do [[ "$line" == "- PASS"* ]] && passed=$((passed + 1)); done
echo "Memory: $passed of ${#verdicts[@]} imports pass;" \
  "growth: $flagged of ${#growth_rows[@]} ratios above 4.4."

echo
echo "## 5. Speed targets"
echo
# target TEXT CONDITION: one PASS/FAIL line.
target() {
  if calc_true "$2"; then
    echo "- PASS $1"
  else
    echo "- FAIL $1"
    failed=1
  fi
}
for n in "${sizes[@]}"; do
  at="at $(grouped "$n")"
  theirs=${secs["sqlite3 .import|$n"]}
  x=$(calc "$theirs / ${secs["comparables main|$n"]}")
  target "comparables main $at: import $(printf '%.2f' "$x") x sqlite3 (at least 1.8)" "$x >= 1.8"
  x=$(calc "$theirs / ${total["comparables main|$n"]}")
  target "comparables main $at: end to end $(printf '%.2f' "$x") x sqlite3 (at least 1.6)" \
    "$x >= 1.6"
  for entry in "comparables main|1.15" "comparables supplement|1.2" "common responses|1.3" \
    "file index|1.3" "lenders|1.3" "neighborhoods|1.3"; do
    label=${entry%|*} limit=${entry#*|}
    x=$(versus "$label" "$n")
    target "$label $at: $(printf '%.2f' "$x") x its hand-written loop (at most $limit)" \
      "$x <= $limit"
  done
done

if [ "$strict" = 1 ] && [ $((failed + flagged)) -gt 0 ]; then
  bench_note "a check failed or a growth ratio was flagged (--strict)"
  exit 1
fi
exit 0
