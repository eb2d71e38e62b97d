#!/usr/bin/env bash
# Pictures of the main window and the file progress window after a real
# import from a sample host, on a virtual X server:
#   tools/screenshots.sh [BUILD_DIR] [PNG_FOLDER]
# Needs xvfb-run (Debian package xvfb) and fonts-dejavu-core.
set -euo pipefail
build=${1:-build/default}
png=${2:-docs}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$png" "$work/out" "$work/config"
"$build/tools/make-sample-host" "$work/host" >/dev/null
# The host's Zev.ini is found in the Windows folder; window settings go to a
# throw-away store.
WINDIR="$work/host" XDG_CONFIG_HOME="$work/config" \
  xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" \
  "$build/tools/window-screenshots" "$build/src/startup/sample-extractor" "$work/host" \
  "$work/out" "$png"
