#!/bin/sh
# A longer soak of the crash-safety trials: the ingestor is killed with
# SIGKILL at random points of comparables and lenders imports, N times
# (default 200), and every database and backup is checked afterwards.
#   tools/crash-trials.sh [N] [BUILD_DIR]
# Set INGESTOR_CRASH_SEED to replay a run; the seed in use is printed.
set -eu
trials=${1:-200}
build=${2:-build/default}
binary="$build/tests/robustness/ingestor_crash_trials"
if [ ! -x "$binary" ]; then
  echo "crash-trials: $binary not found (build the tests first: cmake --build $build)" >&2
  exit 2
fi
echo "crash-trials: $trials trials with $binary"
INGESTOR_CRASH_TRIALS=$trials exec "$binary" --gtest_filter='CrashTrials.*'
