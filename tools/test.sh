#!/usr/bin/env bash
# The whole test suite from nothing: installs what is missing (as root), builds, and runs every
# test program under Wine in a private Xvfb. Extra arguments go to ctest.
#
# The shipped program is the i686 build (build/); its static checks always run. The Wine tests
# run on the i686 build where this machine can execute 32-bit code, otherwise on an x86_64 build
# of the same sources (build-x64/) in a 64-bit prefix.
# TANDREL_BUILD_DIR overrides build/ (the x86_64 build then goes to "$TANDREL_BUILD_DIR-x64");
# TANDREL_QUICK=1 skips the i686 build when the tests run on x86_64 (for quick iterations).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_BUILD_DIR:-$here/build}

if [ "$(id -u)" = 0 ]; then
  "$here/tools/setup.sh"
else
  echo "test: not root, skipping the installation step" >&2
fi
# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"

if testbed_can_run_32bit; then
  export TANDREL_TEST_ARCH=i686
  test_build_dir=$build_dir
else
  export TANDREL_TEST_ARCH=x86_64
  test_build_dir=$build_dir-x64
  echo "test: this machine cannot run 32-bit code; the Wine tests run on the x86_64 build in $test_build_dir"
fi

status=0
if [ "$TANDREL_TEST_ARCH" = i686 ] || [ -z "${TANDREL_QUICK:-}" ]; then
  TANDREL_ARCH=i686 "$here/tools/build.sh" "$build_dir"
  if [ "$TANDREL_TEST_ARCH" != i686 ]; then
    echo "test: static checks of the shipped i686 build"
    (cd "$build_dir" && ctest --output-on-failure -L static) || status=1
  fi
fi
if [ "$TANDREL_TEST_ARCH" != i686 ]; then
  # tools/run.sh may have made this tree without the tests (its set-up has no GoogleTest).
  tests_option=()
  if grep -q '^TANDREL_BUILD_TESTS:BOOL=OFF$' "$test_build_dir/CMakeCache.txt" 2>/dev/null; then
    tests_option=(-DTANDREL_BUILD_TESTS=ON)
  fi
  TANDREL_ARCH=x86_64 "$here/tools/build.sh" "$test_build_dir" "${tests_option[@]}"
fi

trap testbed_down EXIT
testbed_up "$test_build_dir"
cd "$test_build_dir"
# Programs with a known Wine flake carry the label wine-flake (tandrel_add_test's WINE_FLAKE):
# only they get a second run after a failed first one, and the ones that needed it are named.
# Every other program runs once.
flake_label=wine-flake
count_tests() { ctest -N "$@" | sed -n 's/^Total Tests: //p'; }
run_flaky() {
  local log rc=0 again
  log=$(mktemp)
  ctest --output-on-failure --repeat until-pass:2 -L "$flake_label" "$@" | tee "$log" || rc=1
  # ctest prints one "Test #N: name" line per run of a program.
  again=$(sed -n 's/^.*Test *#[0-9]*: \([^ ]*\) .*$/\1/p' "$log" | sort | uniq -d | tr '\n' ' ')
  rm -f "$log"
  if [ -n "$again" ]; then echo "test: needed a second run (known Wine flake): $again"; fi
  return $rc
}
if [ "$(count_tests "$@")" = 0 ]; then
  echo "test: no test matches: $*" >&2
  status=1
else
  # The labelled programs first: the tray test reads Wine's notification area, which the
  # end-to-end programs leave in a state where its first icon is missed; it runs on a fresh desktop.
  if [ "$(count_tests -L "$flake_label" "$@")" != 0 ]; then run_flaky "$@" || status=1; fi
  if [ "$(count_tests -LE "$flake_label" "$@")" != 0 ]; then
    ctest --output-on-failure -LE "$flake_label" "$@" || status=1
  fi
fi

# The demo's tour: the one check that sees hosted clients drawn (Wine 10 in the demo root, the
# x86_64 build, whichever build the tests above ran). With ctest arguments it runs only when
# asked for (TANDREL_DEMO_CHECK=1).
if [ $# -eq 0 ] || [ -n "${TANDREL_DEMO_CHECK:-}" ]; then
  testbed_down
  if [ "$(id -u)" = 0 ]; then
    echo "test: the demo's tour (tools/demo.sh --tour)"
    env -u DISPLAY TANDREL_DEMO_BUILD_DIR="$build_dir-x64" "$here/tools/demo.sh" --tour || status=1
  else
    echo "test: SKIPPED the demo's tour: it needs root (debootstrap, chroot, mount)" >&2
  fi
fi
exit $status
