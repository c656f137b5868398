#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Run as root. Safe to run again: finished steps are skipped quickly.
#   tools/setup.sh          everything (the builds of both architectures and the test suite)
#   tools/setup.sh --demo   only what tools/demo.sh needs: the x86_64 cross compiler and its
#                           libpng, nginx, the tour's X tools and debootstrap (no Wine on this
#                           machine: the demo's Wine lives in its own Debian 13 root)
set -euo pipefail
for_demo=0
case "${1:-}" in
  --demo) for_demo=1 ;;
  "") ;;
  *) echo "usage: $0 [--demo]" >&2; exit 2 ;;
esac

# Dependencies are cross-built for both targets: i686 is the shipped program; x86_64 is the
# build the tests run when the machine cannot execute 32-bit code (see tools/testbed.sh).
DEPS_ROOT=${TANDREL_DEPS_ROOT:-/opt/tandrel-deps}
WORK=${TANDREL_DEPS_WORK:-/var/tmp/tandrel-deps-build}
ARCHS=(i686 x86_64)

die() { echo "setup: ERROR: $*" >&2; exit 1; }
step() { echo "setup: $*"; }

[ "$(id -u)" = 0 ] || die "run as root (it installs Debian packages)"
[ -r /etc/debian_version ] || die "this script expects Debian 12"

PACKAGES=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  libz-mingw-w64-dev
  wine wine32:i386 wine64 fonts-wine fonts-wqy-zenhei
  locales dpkg-dev cmake make
  xvfb xauth xdotool imagemagick
  googletest
  python3 nginx-light liblnk-utils
  nsis osslsigncode openssl
  debootstrap
)
if [ "$for_demo" = 1 ]; then
  ARCHS=(x86_64)
  PACKAGES=(
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
    libz-mingw-w64-dev dpkg-dev cmake make
    xdotool imagemagick python3 nginx-light debootstrap
  )
fi

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
  if [ "$for_demo" = 0 ] && [[ " $(dpkg --print-foreign-architectures | tr '\n' ' ') " != *" i386 "* ]]; then
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
  local policy probe=wine32:i386
  [ "$for_demo" = 0 ] || probe=debootstrap
  policy=$(apt-cache policy "$probe" 2>/dev/null || true)
  [[ "$policy" == *"Candidate: "[0-9]* ]] \
    || { cat /var/tmp/tandrel-apt-update.log >&2; die "apt-get update did not make Debian's packages available"; }
}

changed=$(ensure_sources)
missing=$(missing_packages)
if [ -n "$missing" ]; then
  apt_update
  step "installing: $(echo $missing | tr '\n' ' ')"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing \
    >/var/tmp/tandrel-apt-install.log 2>&1 \
    || { tail -30 /var/tmp/tandrel-apt-install.log >&2; die "apt-get install failed (log: /var/tmp/tandrel-apt-install.log)"; }
  missing=$(missing_packages)
  [ -z "$missing" ] || die "packages still missing after install: $missing"
elif [ "$changed" = 1 ]; then
  apt_update
fi

# Chinese file names under Wine need the glibc locale, not only LC_ALL.
if [ "$for_demo" = 0 ] && [[ " $(locale -a 2>/dev/null | tr '\n' ' ') " != *" zh_CN.utf8 "* ]]; then
  step "generating the zh_CN.UTF-8 locale"
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null || die "locale-gen failed"
fi

# libpng has no MinGW binary package: cross-build Debian's patched source once per target.
LIBPNG_SRC="$WORK/libpng-src"
if [ ! -d "$LIBPNG_SRC/src" ]; then
  step "fetching and unpacking Debian's libpng1.6 source package"
  rm -rf "$LIBPNG_SRC" && mkdir -p "$LIBPNG_SRC"
  ( cd "$LIBPNG_SRC"
    if ! apt-get source -q --download-only libpng1.6/bookworm >download.log 2>&1; then
      apt_update >/dev/null
      apt-get source -q --download-only libpng1.6/bookworm >download.log 2>&1 \
        || { cat download.log >&2; exit 1; }
    fi
    dsc=$(ls libpng1.6_*.dsc | head -n1)
    dpkg-source -x "$dsc" src >extract.log 2>&1 || { cat extract.log >&2; exit 1; }
  ) || { rm -rf "$LIBPNG_SRC"; die "could not get the libpng source package"; }
fi

for arch in "${ARCHS[@]}"; do
  prefix="$DEPS_ROOT/$arch"
  toolchain=$(cd "$(dirname "$0")/../cmake" && pwd)/mingw-$arch.cmake
  triple=$arch-w64-mingw32
  [ -f "$toolchain" ] || die "toolchain file not found: $toolchain"
  mkdir -p "$prefix"
  if [ ! -f "$prefix/.libpng-done" ]; then
    step "cross-building libpng for $arch"
    rm -rf "$WORK/libpng-$arch"
    ( cmake -S "$LIBPNG_SRC/src" -B "$WORK/libpng-$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DTANDREL_NO_EMULATOR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF \
        -DZLIB_USE_STATIC_LIBS=ON -DZLIB_ROOT=/usr/$triple >"$WORK/libpng-$arch.log" 2>&1 \
      && cmake --build "$WORK/libpng-$arch" -j"$(nproc)" >>"$WORK/libpng-$arch.log" 2>&1 \
      && cmake --install "$WORK/libpng-$arch" >>"$WORK/libpng-$arch.log" 2>&1
    ) || { tail -40 "$WORK/libpng-$arch.log" >&2; die "libpng cross-build for $arch failed (log: $WORK/libpng-$arch.log)"; }
    touch "$prefix/.libpng-done"
  fi
  if [ "$for_demo" = 0 ] && [ ! -f "$prefix/.googletest-done" ]; then
    step "cross-building GoogleTest for $arch"
    rm -rf "$WORK/googletest-$arch"
    ( cmake -S /usr/src/googletest -B "$WORK/googletest-$arch" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DTANDREL_NO_EMULATOR=ON -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_GMOCK=ON >"$WORK/googletest-$arch.log" 2>&1 \
      && cmake --build "$WORK/googletest-$arch" -j"$(nproc)" >>"$WORK/googletest-$arch.log" 2>&1 \
      && cmake --install "$WORK/googletest-$arch" >>"$WORK/googletest-$arch.log" 2>&1
    ) || { tail -40 "$WORK/googletest-$arch.log" >&2; die "GoogleTest cross-build for $arch failed (log: $WORK/googletest-$arch.log)"; }
    touch "$prefix/.googletest-done"
  fi
done

step "done (dependencies in $DEPS_ROOT)"
