# shellcheck shell=bash disable=SC2154,SC1003  # set by the sourcing script; a literal backslash
# Shared by the benchmark scripts (sourced, not run): real unattended imports
# by the ingestor binary, what their logs say, peak RSS, and sqlite3's own
# CSV import as a baseline. Every routine that measures sets global variables
# rather than printing, so a failure inside it ends the whole script.
#
# The sourcing script sets, before calling anything here:
#   bench_name  the name its messages start with
#   build       the build folder
#   work        a scratch folder of its own (removed by the script)
# and calls bench_prepare, which sets bin and host (a sample host installation
# from make-sample-host: Zev.ini, the template databases, the conversion file).

# Ends the script: a step failed or a number could not be measured.
bench_die() {
  echo "$bench_name: $*" >&2
  exit 2
}

bench_note() { echo "$bench_name: $*" >&2; }

to_tail_path() { printf '%s' "$1" | tr '/' '\\'; }
calc() { awk "BEGIN { print $1 }"; }
# calc_true CONDITION: succeeds when the awk condition holds.
calc_true() { awk "BEGIN { exit !($1) }"; }
# 1234567 -> 1,234,567
grouped() { printf '%.0f' "$1" | sed ':a; s/\B[0-9]\{3\}\>/,&/; ta'; }
mb() { calc "$1 / 1024"; }

# bench_build TARGET...: builds the programs the script runs.
bench_build() {
  cmake --build "$build" --target "$@" >"$work/build.log" 2>&1 || {
    tail -n 30 "$work/build.log" >&2
    bench_die "building $* in '$build' failed"
  }
}

# Checks the tools, makes the sample host; sets bin and host.
bench_prepare() {
  [ -x /usr/bin/time ] || bench_die "GNU time (/usr/bin/time, Debian package 'time') is needed for peak RSS"
  bin="$build/src/startup/ingestor"
  [ -x "$bin" ] || bench_die "no ingestor binary at '$bin'"
  host="$work/host"
  "$build/tools/make-sample-host" "$host" >/dev/null || bench_die "make-sample-host failed"
}

# Makes sqlite3 available (installed with apt-get when missing and running as
# root); false when it is not.
bench_have_sqlite() {
  if ! command -v sqlite3 >/dev/null; then
    if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null; then
      bench_note "installing sqlite3 for the baseline..."
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq sqlite3 >/dev/null 2>&1 || true
    fi
  fi
  command -v sqlite3 >/dev/null
}

# bench_import TYPE SOURCE DATABASE NOCOMPARE: one unattended import of SOURCE
# (a folder, or a file) into DATABASE, started as the host starts it. Sets
#   import_seconds  the import pass as the log times it ("ET for import process")
#   import_rss_kb   the process's peak resident set (GNU time)
#   import_total_seconds  the whole process, end to end (GNU time)
#   import_log      the log, without carriage returns
# Dies when the run fails or either number is missing.
bench_import() {
  local type=$1 source=$2 database=$3 nocompare=$4 out="$work/out"
  rm -rf "$out"
  mkdir -p "$out"
  local tail_text status allow=
  tail_text="sample-extractor/$(to_tail_path "$source")/$(to_tail_path "$out")\\/$type/$(to_tail_path "$database")/False/$nocompare"
  # Comparable sales come from the command line only through the batch route.
  [ "$type" = 7 ] && allow=1
  set +e
  WINDIR="$host" INGESTOR_ALLOW_COMPARABLES=$allow /usr/bin/time -f '%M %e' -o "$work/rss" \
    "$bin" "$tail_text" </dev/null >"$work/stdout" 2>"$work/stderr"
  status=$?
  set -e
  import_log="$work/import.log"
  local logs=("$out"/*-logfile.txt)
  [ -f "${logs[0]}" ] || bench_die "ingestor '$tail_text' ended with status $status and wrote no log: $(tail -n 3 "$work/stderr")"
  tr -d '\r' <"${logs[0]}" >"$import_log"
  [ "$status" = 0 ] ||
    bench_die "ingestor '$tail_text' ended with status $status; its log ends:
$(tail -n 8 "$import_log")"
  import_seconds=$(sed -n 's/.*ET for import process was: \([0-9.]*\)s\..*/\1/p' "$import_log" | tail -n 1)
  read -r import_rss_kb import_total_seconds < <(tail -n 1 "$work/rss")
  if ! [[ "$import_seconds" =~ ^[0-9.]+$ ]] || ! calc_true "$import_seconds > 0"; then
    bench_die "no import time in the log of '$tail_text'"
  fi
  if ! [[ "$import_rss_kb" =~ ^[0-9]+$ ]] || [ "$import_rss_kb" -eq 0 ]; then
    bench_die "no peak RSS for '$tail_text'"
  fi
}

# bench_expect_counts READ ADDED OVERWRITTEN: the summary lines of the last
# import's files, added up, must say exactly this, with nothing kept or
# rejected; anything else means the import did not do what is being timed.
bench_expect_counts() {
  local want="$1 $2 $3 0 0" got
  got=$(sed -n "s/.*File '.*': \([0-9]*\) read, \([0-9]*\) added, \([0-9]*\) overwritten, \([0-9]*\) kept, \([0-9]*\) rejected\..*/\1 \2 \3 \4 \5/p" "$import_log" |
    awk '{ for (i = 1; i <= 5; i++) s[i] += $i; n++ } END { if (n) print s[1], s[2], s[3], s[4], s[5] }')
  [ "$got" = "$want" ] || bench_die "the import's files came to '${got:-no summary line}' (read added overwritten kept rejected), expected '$want'"
}

# bench_expect_rows DATABASE TABLE ROWS: the table holds exactly ROWS rows.
bench_expect_rows() {
  local got
  got=$("$build/tools/db-summary" "$1" | awk -v t="$2" '$1 == t { print $2 }') ||
    bench_die "cannot count the rows of $1"
  [ "$got" = "$3" ] || bench_die "table $2 of $1 holds ${got:-no} rows, expected $3"
}

# bench_sqlite_import DIR: sqlite3's .import of DIR/main.csv into a fresh
# database laid out by DIR/schema.sql. Sets import_seconds and import_rss_kb.
bench_sqlite_import() {
  local dir=$1 database="$work/baseline.db" t0 t1
  rm -f "$database"
  sqlite3 "$database" <"$dir/schema.sql" || bench_die "sqlite3 refused $dir/schema.sql"
  t0=$(date +%s.%N)
  /usr/bin/time -f '%M' -o "$work/rss" sqlite3 "$database" -cmd '.mode csv' \
    ".import $dir/main.csv ZazOzurs" >"$work/stdout" 2>"$work/stderr" ||
    bench_die "sqlite3 .import failed: $(tail -n 3 "$work/stderr")"
  t1=$(date +%s.%N)
  # .import reports bad lines on standard error but still succeeds.
  [ ! -s "$work/stderr" ] || bench_die "sqlite3 .import complained: $(head -n 3 "$work/stderr")"
  import_seconds=$(calc "$t1 - $t0")
  import_rss_kb=$(tail -n 1 "$work/rss")
}

# bench_handwritten KIND DATABASE SOURCE...: the hand-written loop of KIND
# (bench/handwritten_bench.cpp) into DATABASE, made beforehand. Sets
# import_seconds (the loop, for comparables the main file's) and
# import_total_seconds (comparables: the supplement file's, else the same).
bench_handwritten() {
  local out
  out=$("$build/bench/handwritten_bench" "$@" 2>"$work/stderr") ||
    bench_die "handwritten_bench $1 failed: $(tail -n 3 "$work/stderr")"
  read -r import_seconds import_total_seconds <<<"$out"
  import_total_seconds=${import_total_seconds:-$import_seconds}
  import_rss_kb=0
}

# bench_same_rows TABLE DATABASE DATABASE: both hold the same rows, in ID order.
bench_same_rows() {
  local a b
  a=$(sqlite3 "$2" "SELECT * FROM \"$1\" ORDER BY ID" | md5sum) || bench_die "cannot read $1 of $2"
  b=$(sqlite3 "$3" "SELECT * FROM \"$1\" ORDER BY ID" | md5sum) || bench_die "cannot read $1 of $3"
  [ "$a" = "$b" ] || bench_die "table $1 differs between $2 and $3:" \
    "the baseline does not write what the import writes"
}

# bench_best RUNS COMMAND...: runs COMMAND (which sets import_seconds,
# import_total_seconds and import_rss_kb) RUNS times. Sets best_seconds and
# best_total_seconds, the least times (the least disturbed run on a shared
# machine), and best_rss_kb, the largest peak.
bench_best() {
  local runs=$1 i
  shift
  best_seconds=
  best_total_seconds=
  best_rss_kb=0
  for ((i = 1; i <= runs; i++)); do
    import_total_seconds=
    "$@"
    import_total_seconds=${import_total_seconds:-$import_seconds}
    if [ -z "$best_seconds" ] || calc_true "$import_seconds < $best_seconds"; then
      best_seconds=$import_seconds
    fi
    if [ -z "$best_total_seconds" ] || calc_true "$import_total_seconds < $best_total_seconds"; then
      best_total_seconds=$import_total_seconds
    fi
    [ "$import_rss_kb" -le "$best_rss_kb" ] || best_rss_kb=$import_rss_kb
  done
}
