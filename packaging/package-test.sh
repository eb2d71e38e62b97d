#!/bin/bash
# Builds the Debian package from a configured and built tree, unpacks it into
# a temporary root and checks that what was unpacked works on its own: the
# program and the sample tools run, an import lands rows, the manual page and
# the desktop entry pass their checkers, completion offers the option form.
#   package-test.sh BUILD_DIR VERSION
# Exit status 77 (skipped) only when a tool the check needs is not installed.
set -u
build=$1
version=$2

skip() { echo "SKIPPED: $*"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect WHAT EXPECTED_STATUS COMMAND...: the command's status, its output kept
# in $out and its error output in $err.
expect() {
  local what=$1 want=$2; shift 2
  "$@" >"$tmp/stdout" 2>"$tmp/stderr"
  local got=$?
  out=$(cat "$tmp/stdout") err=$(cat "$tmp/stderr")
  [ "$got" = "$want" ] || fail "$what: status $got, expected $want; stderr: $err"
}

for tool in cpack:cmake dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev man:man-db lexgrog:man-db \
            desktop-file-validate:desktop-file-utils scdoc:scdoc; do
  command -v "${tool%%:*}" >/dev/null ||
    skip "${tool%%:*} is not installed (Debian package ${tool#*:})"
done
[ -f "$build/packaging/ingestor.1" ] || skip "the manual page was not built (scdoc missing at configure time)"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if ! cpack --config "$build/CPackConfig.cmake" -B "$tmp/package" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack could not build the package"
  exit 1
fi
deb=$(ls "$tmp"/package/*.deb)

# The control file: name, version and the runtime libraries as Debian packages.
[ "$(dpkg-deb -f "$deb" Package)" = ingestor ] || fail "package name is not ingestor"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libsqlite3-0 libodbc2; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] ||
    fail "Depends lacks $lib: $depends"
done
if [ -f "$build/src/ui/qt/libingestor_ui_qt.a" ] && [[ $depends != *libqt6widgets6* ]]; then
  fail "Depends lacks libqt6widgets6 although the window is built in: $depends"
fi

dpkg-deb -x "$deb" "$tmp/root"
usr=$tmp/root/usr
lib=$usr/lib/ingestor
for file in bin/ingestor lib/ingestor/ingestor lib/ingestor/sample-extractor \
            lib/ingestor/make-sample-host lib/ingestor/db-summary share/man/man1/ingestor.1.gz \
            share/applications/ingestor.desktop share/icons/hicolor/scalable/apps/ingestor.svg \
            share/bash-completion/completions/ingestor; do
  [ -e "$usr/$file" ] || fail "the package lacks /usr/$file"
done
[ "$(readlink "$usr/bin/ingestor")" = ../lib/ingestor/ingestor ] ||
  fail "/usr/bin/ingestor is not a relative link to /usr/lib/ingestor/ingestor"

expect "ingestor --version" 0 "$usr/bin/ingestor" --version
[ "$out" = "ingestor $version" ] || fail "ingestor --version printed '$out'"

# The sample tools answer --help and refuse unknown options without acting on
# them (make-sample-host used to create a folder named after the option).
cd "$tmp"
for tool in make-sample-host db-summary sample-extractor; do
  expect "$tool --help" 0 "$lib/$tool" --help
  [[ $out == "Usage: $tool "* ]] || fail "$tool --help printed '$out'"
  expect "$tool --frobnicate" 2 "$lib/$tool" --frobnicate
  [[ $err == *"unknown option '--frobnicate'"* ]] || fail "$tool --frobnicate said '$err'"
done
[ ! -e "$tmp/--frobnicate" ] || fail "an unknown option created a file"

# An import with the unpacked tree only: a bare extractor name is found beside
# the program although it was started through the link in bin/.
expect "make-sample-host" 0 "$lib/make-sample-host" "$tmp/host"
WINDIR=$tmp/host expect "lenders import" 0 "$usr/bin/ingestor" --type lenders \
  --extractor sample-extractor --source "$tmp/host/data" --output "$tmp/out" \
  --database "$tmp/L.mdb" --quiet
expect "db-summary" 0 "$lib/db-summary" "$tmp/L.mdb"
[[ $out =~ Lenders\ +([0-9]+)\ rows ]] && [ "${BASH_REMATCH[1]}" -gt 0 ] ||
  fail "no lender rows landed: '$out'"

# The manual page: no formatter warnings, a NAME line the index can read.
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/ingestor.1.gz" >"$tmp/man" 2>"$tmp/err"
[ ! -s "$tmp/err" ] || fail "man warns: $(cat "$tmp/err")"
grep -q -- "--on-conflict" "$tmp/man" && grep -q "INGESTOR_DRIVE_" "$tmp/man" ||
  fail "the manual page lacks the option form or the environment"
expect "lexgrog" 0 lexgrog "$usr/share/man/man1/ingestor.1.gz"
expect "desktop-file-validate" 0 desktop-file-validate "$usr/share/applications/ingestor.desktop"
[ -z "$out$err" ] || fail "desktop-file-validate: $out$err"

# Completion, where bash-completion is installed.
if [ -f /usr/share/bash-completion/bash_completion ]; then
  complete_line() {
    bash -c '. /usr/share/bash-completion/bash_completion; . "$1"; shift
             COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
             _ingestor ingestor "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"; echo "${COMPREPLY[*]}"' \
      _ "$usr/share/bash-completion/completions/ingestor" "$@"
  }
  # line words (the last is the word being completed) | expected offers
  while IFS='|' read -r words want; do
    # shellcheck disable=SC2086
    got=$(complete_line $words "")
    [ "$got" = "$want" ] || fail "completing '$words': '$got', expected '$want'"
  done <<'CASES'
ingestor --type|responses private-responses global-responses private-global-responses file-index lenders neighborhoods comparables
ingestor --on-conflict|ask keep overwrite
ingestor --type lenders --quiet|--extractor --source --output --database --odbc --keep-extracted --no-compare --terminate-records --on-conflict --summary
CASES
  got=$(complete_line ingestor --type le)
  [ "$got" = lenders ] || fail "completing '--type le': '$got'"
else
  echo "completion not checked: bash-completion is not installed"
fi

[ "$failures" = 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package $(basename "$deb") checked"
