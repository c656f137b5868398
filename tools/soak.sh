#!/usr/bin/env bash
# The soak: Tandrel under Wine with randomly scripted stand-in clients and real input for a
# number of minutes, its promises checked all along; prints one summary line of figures and
# exits non-zero on any violation. The same seed gives the same scripts and choices.
# Usage: tools/soak.sh [minutes (default 30)] [seed (default: from the clock, printed)]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-30}
seed=${2:-$(( $(date +%s) % 1000000007 ))}
case "$minutes$seed" in *[!0-9]*) echo "usage: tools/soak.sh [minutes] [seed] (whole numbers)" >&2; exit 2 ;; esac
build_dir=${TANDREL_BUILD_DIR:-$here/build}

# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
if testbed_can_run_32bit; then
  export TANDREL_TEST_ARCH=i686
else
  export TANDREL_TEST_ARCH=x86_64
  build_dir=$build_dir-x64
fi
TANDREL_ARCH=$TANDREL_TEST_ARCH "$here/tools/build.sh" "$build_dir" >/dev/null
echo "soak: $minutes minute(s), seed $seed, on the $TANDREL_TEST_ARCH build in $build_dir"

# TANDREL_SOAK_BED names another folder for the soak's Wine prefix, display and screenshots,
# so that a soak can run beside the test suite of the same build.
trap testbed_down EXIT
bed=${TANDREL_SOAK_BED:-$build_dir}
mkdir -p "$bed"
testbed_up "$bed"
export TANDREL_SOAK_MINUTES=$minutes TANDREL_SOAK_SEED=$seed
"$here/tools/wine-run.sh" "$build_dir/tests/bin/soak_test.exe" --gtest_color=no
