#!/usr/bin/env bash
# ctest's emulator: runs a Windows test program under Wine in the test bed's prefix.
[ -n "${WINEPREFIX:-}" ] && [ -n "${TANDREL_WINE:-}" ] || { echo "wine-run: no test bed (run tools/test.sh, or source tools/testbed.sh and call testbed_up)" >&2; exit 2; }
exec "$TANDREL_WINE" "$@"
