#!/usr/bin/env bash
# Prints the instance host's figures (adoption latency, idle CPU, memory, leaks) by running
# tests/bench/host_benchmark under the Wine test bed. Takes a few minutes. Like tools/test.sh
# it runs the i686 build where this machine can execute 32-bit code, else the x86_64 build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_BUILD_DIR:-$here/build}
# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
if testbed_can_run_32bit; then
  arch=i686 run_dir=$build_dir
else
  arch=x86_64 run_dir=$build_dir-x64
fi
export TANDREL_TEST_ARCH=$arch
TANDREL_ARCH=$arch "$here/tools/build.sh" "$run_dir" >/dev/null
trap testbed_down EXIT
testbed_up "$run_dir"
out=$(mktemp)
"$TANDREL_WINE" "$run_dir/tests/bin/host_benchmark.exe" --gtest_color=no >"$out" 2>&1 || true
echo "host benchmark ($arch build under $("$TANDREL_WINE" --version 2>/dev/null || echo Wine))"
cat "$out"
rm -f "$out"
