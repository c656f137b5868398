#!/usr/bin/env bash
# The whole test suite from nothing: installs what is missing (as root), builds, and runs
# every test program under Wine in a private Xvfb. Extra arguments go to ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_BUILD_DIR:-$here/build}

if [ "$(id -u)" = 0 ]; then
  "$here/tools/setup.sh"
else
  echo "test: not root, skipping the installation step" >&2
fi
"$here/tools/build.sh" "$build_dir"

# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
trap testbed_down EXIT
testbed_up "$build_dir"
cd "$build_dir"
ctest --output-on-failure --no-tests=error "$@"
