#!/usr/bin/env bash
# Runs tandrel.exe under Wine: on your display when there is one, otherwise in a private
# Xvfb, where a screenshot is saved after a few seconds and its path printed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_BUILD_DIR:-$here/build}

if [ "$(id -u)" = 0 ]; then "$here/tools/setup.sh"; fi
"$here/tools/build.sh" "$build_dir"
exe="$build_dir/bin/tandrel.exe"

# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
if [ -n "${DISPLAY:-}" ] && [ -z "${TANDREL_HEADLESS:-}" ]; then
  user_display=$DISPLAY
  testbed_up "$build_dir"
  testbed_down
  export DISPLAY=$user_display
  wineserver -p >>"$TANDREL_TESTBED_LOG" 2>&1
  echo "run: starting $exe on $DISPLAY (close it from its tray icon)"
  wine "$exe"
  wineserver -k || true
else
  trap testbed_down EXIT
  testbed_up "$build_dir"
  wine "$exe" &
  seconds=${TANDREL_RUN_SECONDS:-8}
  sleep "$seconds"
  shot="$build_dir/screenshots/run.png"
  import -display "$DISPLAY" -window root "$shot"
  echo "run: no display; screenshot after ${seconds}s saved to $shot"
fi
