#!/usr/bin/env bash
# Runs tandrel.exe under Wine: on your display when there is one, otherwise in a private
# Xvfb, where a screenshot is saved after a few seconds and its path printed.
# Where this machine cannot execute 32-bit code, the x86_64 build of the same sources runs.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_BUILD_DIR:-$here/build}

if [ "$(id -u)" = 0 ]; then "$here/tools/setup.sh"; fi
# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
TANDREL_ARCH=i686 "$here/tools/build.sh" "$build_dir"
if testbed_can_run_32bit; then
  export TANDREL_TEST_ARCH=i686
  run_dir=$build_dir
else
  export TANDREL_TEST_ARCH=x86_64
  run_dir=$build_dir-x64
  echo "run: this machine cannot run 32-bit code; running the x86_64 build"
  TANDREL_ARCH=x86_64 "$here/tools/build.sh" "$run_dir"
fi
exe="$run_dir/bin/tandrel.exe"

if [ -n "${DISPLAY:-}" ] && [ -z "${TANDREL_HEADLESS:-}" ]; then
  user_display=$DISPLAY
  testbed_up "$run_dir"      # makes the prefix on first use
  testbed_down
  export DISPLAY=$user_display
  wineserver -p >>"$TANDREL_TESTBED_LOG" 2>&1 || true
  echo "run: starting $exe on $DISPLAY (end it from its tray icon: 退出程序)"
  "$TANDREL_WINE" "$exe"
  wineserver -k >/dev/null 2>&1 || true
else
  trap testbed_down EXIT
  testbed_up "$run_dir"
  "$TANDREL_WINE" "$exe" >>"$TANDREL_TESTBED_LOG" 2>&1 &
  seconds=${TANDREL_RUN_SECONDS:-8}
  sleep "$seconds"
  shot="$run_dir/screenshots/run.png"
  import -display "$DISPLAY" -window root "$shot"
  echo "run: no display; screenshot after ${seconds}s saved to $shot"
fi
