#!/usr/bin/env bash
# Prints the instance host's figures (adoption latency, idle CPU, memory, leaks) by running
# tests/bench/host_benchmark under the Wine test bed. Takes a few minutes.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_BUILD_DIR:-$here/build}
cmake --build "$build_dir" --target host_benchmark tandrel standin_client -j2 >/dev/null
# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
trap testbed_down EXIT
testbed_up "$build_dir"
out=$(mktemp)
wine "$build_dir/tests/bin/host_benchmark.exe" --gtest_color=no >"$out" 2>&1 || true
cat "$out"
rm -f "$out"
