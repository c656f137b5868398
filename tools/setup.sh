#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Run as root. Safe to run again: finished steps are skipped quickly.
set -euo pipefail

DEPS_PREFIX=${TANDREL_DEPS:-/opt/tandrel-deps}
WORK=${TANDREL_DEPS_WORK:-/var/tmp/tandrel-deps-build}
TOOLCHAIN_TRIPLE=i686-w64-mingw32

die() { echo "setup: ERROR: $*" >&2; exit 1; }
step() { echo "setup: $*"; }

[ "$(id -u)" = 0 ] || die "run as root (it installs Debian packages)"
[ -r /etc/debian_version ] || die "this script expects Debian 12"

PACKAGES=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  libz-mingw-w64-dev
  wine wine32:i386 wine64 fonts-wine fonts-wqy-zenhei
  locales dpkg-dev cmake make
  xvfb xauth xdotool imagemagick
  googletest
  python3 nginx-light liblnk-utils
)

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" = "install ok installed" ] || echo "$p"
  done
}

# Source packages are needed for libpng; a deb-src twin of the stock sources file.
SRC_LIST=/etc/apt/sources.list.d/tandrel-deb-src.sources
ensure_sources() {
  local changed=0
  if [[ " $(dpkg --print-foreign-architectures | tr '\n' ' ') " != *" i386 "* ]]; then
    step "adding the i386 architecture"
    dpkg --add-architecture i386 || die "dpkg --add-architecture i386 failed"
    changed=1
  fi
  if [ ! -f "$SRC_LIST" ]; then
    step "enabling Debian source packages"
    cat > "$SRC_LIST" <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    changed=1
  fi
  echo $changed
}

apt_update() {
  step "apt-get update"
  # Third-party lists on some machines are unreachable; Debian's own must work.
  apt-get update -q >/var/tmp/tandrel-apt-update.log 2>&1 || true
  local policy
  policy=$(apt-cache policy wine32:i386 2>/dev/null || true)
  [[ "$policy" == *"Candidate: "[0-9]* ]] \
    || { cat /var/tmp/tandrel-apt-update.log >&2; die "apt-get update did not make Debian's packages available"; }
}

changed=$(ensure_sources)
missing=$(missing_packages)
if [ -n "$missing" ]; then
  apt_update
  step "installing: $(echo $missing | tr '\n' ' ')"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing \
    || die "apt-get install failed"
  missing=$(missing_packages)
  [ -z "$missing" ] || die "packages still missing after install: $missing"
elif [ "$changed" = 1 ]; then
  apt_update
fi

# Chinese file names under Wine need the glibc locale, not only LC_ALL.
if [[ " $(locale -a 2>/dev/null | tr '\n' ' ') " != *" zh_CN.utf8 "* ]]; then
  step "generating the zh_CN.UTF-8 locale"
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null || die "locale-gen failed"
fi

mkdir -p "$DEPS_PREFIX" "$WORK"
TOOLCHAIN_FILE=$(cd "$(dirname "$0")/../cmake" && pwd)/mingw-i686.cmake
[ -f "$TOOLCHAIN_FILE" ] || die "toolchain file not found: $TOOLCHAIN_FILE"

# libpng: no MinGW binary package, so cross-build Debian's patched source.
if [ ! -f "$DEPS_PREFIX/.libpng-done" ]; then
  step "cross-building libpng from Debian's source package"
  rm -rf "$WORK/libpng" && mkdir -p "$WORK/libpng"
  ( cd "$WORK/libpng"
    if ! apt-get source -q --download-only libpng1.6/bookworm >download.log 2>&1; then
      apt_update >/dev/null
      apt-get source -q --download-only libpng1.6/bookworm >download.log 2>&1 \
        || { cat download.log >&2; exit 1; }
    fi
    dsc=$(ls libpng1.6_*.dsc | head -n1)
    dpkg-source -x "$dsc" src >extract.log 2>&1 || { cat extract.log >&2; exit 1; }
    cmake -S src -B build -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
      -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF -DZLIB_USE_STATIC_LIBS=ON \
      -DZLIB_ROOT=/usr/$TOOLCHAIN_TRIPLE >configure.log 2>&1 || { cat configure.log >&2; exit 1; }
    cmake --build build -j"$(nproc)" >build.log 2>&1 || { tail -50 build.log >&2; exit 1; }
    cmake --install build >install.log 2>&1 || { cat install.log >&2; exit 1; }
  ) || die "libpng cross-build failed (logs in $WORK/libpng)"
  touch "$DEPS_PREFIX/.libpng-done"
fi

# GoogleTest from Debian's source copy, cross-built with the same toolchain.
if [ ! -f "$DEPS_PREFIX/.googletest-done" ]; then
  step "cross-building GoogleTest"
  rm -rf "$WORK/googletest" && mkdir -p "$WORK/googletest"
  ( cd "$WORK/googletest"
    cmake -S /usr/src/googletest -B build -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN_FILE" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS_PREFIX" -Dgtest_disable_pthreads=OFF \
      -DBUILD_GMOCK=ON >configure.log 2>&1 || { cat configure.log >&2; exit 1; }
    cmake --build build -j"$(nproc)" >build.log 2>&1 || { tail -50 build.log >&2; exit 1; }
    cmake --install build >install.log 2>&1 || { cat install.log >&2; exit 1; }
  ) || die "GoogleTest cross-build failed (logs in $WORK/googletest)"
  touch "$DEPS_PREFIX/.googletest-done"
fi

step "done (dependencies in $DEPS_PREFIX)"
