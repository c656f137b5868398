#!/usr/bin/env bash
# Reads the shortcut written by shell_shortcut_test with Debian's lnkinfo, an independent
# reader of .lnk files, and checks what the script host stored in it.
set -euo pipefail
[ -n "${WINEPREFIX:-}" ] || { echo "check_lnkinfo: no test bed (WINEPREFIX unset)" >&2; exit 2; }
link=$(find "$WINEPREFIX/drive_c/users" -path '*/Desktop/TandrelLnkinfoCheck.lnk' | head -n1)
[ -n "$link" ] || { echo "check_lnkinfo: TandrelLnkinfoCheck.lnk not found on the desktop" >&2; exit 1; }
info=$(lnkinfo "$link")
echo "$info"
rm -f "$link"
fail=0
expect() {
  # lnkinfo prints "<label>\t\t: <value>"; compare the value exactly.
  local label=$1 want=$2 got
  got=$(printf '%s\n' "$info" | sed -n "s/^[[:space:]]*$label[[:space:]]*:[[:space:]]*//p" | head -n1)
  if [ "$got" != "$want" ]; then
    echo "check_lnkinfo: $label is '$got', expected '$want'" >&2
    fail=1
  fi
}
expect 'Working directory' 'D:\Apps\X\'
# "D:\Apps\X\tandrel.exe,0" is stored as a location and an index.
expect 'Local path' 'D:\Apps\X\tandrel.exe'
expect 'Icon location' 'D:\Apps\X\tandrel.exe'
expect 'Icon index' '0'
exit $fail
