#!/usr/bin/env bash
# ctest's emulator: runs a Windows test program under Wine in the test bed's prefix.
# A GoogleTest program that dies before GoogleTest's closing summary has crashed, whatever
# exit code Wine hands back for it (a crash does not always come back as a failure), so such a
# run fails here.
[ -n "${WINEPREFIX:-}" ] && [ -n "${TANDREL_WINE:-}" ] || { echo "wine-run: no test bed (run tools/test.sh, or source tools/testbed.sh and call testbed_up)" >&2; exit 2; }
gtest=0
for argument in "$@"; do
  case "$argument" in --gtest_*) gtest=1 ;; esac
done
[ "$gtest" = 1 ] || exec "$TANDREL_WINE" "$@"

output=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
trap 'rm -f "$output"' EXIT
"$TANDREL_WINE" "$@" >"$output" 2>&1
status=$?
cat "$output"
if ! grep -qE '^\[==========\] [0-9]+ tests? from [0-9]+ test (suite|case)s? ran\.' "$output"; then
  echo "wine-run: $(basename "$1") ended (exit code $status) before GoogleTest's summary: it crashed or was ended"
  [ "$status" = 0 ] && status=1
fi
exit $status
