#!/usr/bin/env bash
# Configures and builds Tandrel, cross-compiled for Windows.
# Usage: tools/build.sh [BUILD_DIR] [extra cmake -D options...]
# TANDREL_ARCH=i686 (default: the program we ship) or x86_64 (the test build on machines that
# cannot run 32-bit code).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch=${TANDREL_ARCH:-i686}
build_dir=${1:-${TANDREL_BUILD_DIR:-$here/build}}
shift || true
mkdir -p "$build_dir"
if [ ! -f "$build_dir/CMakeCache.txt" ] || [ $# -gt 0 ]; then
  cmake -S "$here" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" "$@" >"$build_dir/configure.log" 2>&1 \
    || { cat "$build_dir/configure.log" >&2; echo "build: configure failed" >&2; exit 1; }
fi
cmake --build "$build_dir" -j"$(nproc)"
