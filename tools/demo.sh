#!/usr/bin/env bash
# The demo: Tandrel under Wine 10 (in the Debian 13 root of tools/demo_root.sh) with the
# stand-in client at the program's default client path and a loopback update server, so that
# clients are seen hosted. Run as root.
#   tools/demo.sh           on your display when there is one (interactive), else the tour
#   tools/demo.sh --tour    the scripted tour in a private Xvfb: numbered screenshots and a
#                           contact sheet in BUILD/tour/, exit status 1 when a step failed
# Builds the `demo` target of the x86_64 build (TANDREL_DEMO_BUILD_DIR, default build-x64)
# first. TANDREL_DEMO_ROOT moves the root (default /var/tmp/tandrel-demo-root).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_DEMO_BUILD_DIR:-${TANDREL_BUILD_DIR:-$here/build}-x64}
export TANDREL_DEMO_ROOT=${TANDREL_DEMO_ROOT:-/var/tmp/tandrel-demo-root}
say() { echo "demo: $*"; }
die() { echo "demo: ERROR: $*" >&2; exit 1; }

mode=interactive
case "${1:-}" in
  --tour) mode=tour ;;
  "") if [ -z "${DISPLAY:-}" ] || [ -n "${TANDREL_HEADLESS:-}" ]; then mode=tour; fi ;;
  *) die "usage: $0 [--tour]" ;;
esac
[ "$(id -u)" = 0 ] || die "run as root (the demo root needs chroot and mount)"
for tool in cmake nginx python3 xdotool import montage; do
  command -v "$tool" >/dev/null || die "$tool is missing (run tools/setup.sh)"
done

started=$SECONDS
# The root (made once, slow on a first run) and the build at the same time.
"$here/tools/demo_root.sh" ensure &
root_job=$!

say "building the demo in $build_dir (the x86_64 program, its skin library, the stand-in client)"
mkdir -p "$build_dir"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  tests=ON
  # Without a cross-built GoogleTest (the demo's minimal set-up) the tree is made without tests.
  [ -f "${TANDREL_DEPS_ROOT:-/opt/tandrel-deps}/x86_64/.googletest-done" ] || tests=OFF
  cmake -S "$here" -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" \
    -DTANDREL_BUILD_TESTS=$tests >"$build_dir/configure.log" 2>&1 \
    || { cat "$build_dir/configure.log" >&2; die "configure failed"; }
fi
cmake --build "$build_dir" --target demo -j"$(nproc)" >"$build_dir/demo-build.log" 2>&1 \
  || { tail -40 "$build_dir/demo-build.log" >&2; die "building the demo failed (log: $build_dir/demo-build.log)"; }
demo="$build_dir/demo"
port=$(sed -n 's/^TANDREL_DEMO_UPDATE_PORT:STRING=//p' "$build_dir/CMakeCache.txt")
[ -n "$port" ] || die "no TANDREL_DEMO_UPDATE_PORT in $build_dir/CMakeCache.txt"
say "built in $((SECONDS - started)) s"
wait "$root_job" || die "the demo root could not be made"

# The prefix's registry: fonts, no crash dialog, the 1920 by 1080 virtual desktop with its
# taskbar, the Chinese locale (the test bed's settings).
# shellcheck source=tools/testbed.sh
. "$here/tools/testbed.sh"
_testbed_write_reg 1920x1080 "$demo/prefix.reg"
# Each stand-in instance in a colour of its own, away from the tab strip.
cat >"$demo/standin.ini" <<'INI'
position 700 100
renew_size
[1]
colour E5533D
[2]
colour 2E86DE
[3]
colour 27AE60
[4]
colour F39C12
[5]
colour 8E44AD
[6]
colour 16A085
INI

# The update server on loopback: contact text, link address and a manifest with nothing due,
# signed with the development key the demo's program trusts (the demo target writes them).
nginx_dir="$demo/nginx"
mkdir -p "$nginx_dir/logs" "$nginx_dir/tmp"
cat >"$nginx_dir/nginx.conf" <<CONF
daemon on;
worker_processes 1;
pid $nginx_dir/nginx.pid;
error_log $nginx_dir/logs/error.log;
events { worker_connections 64; }
http {
  access_log $nginx_dir/logs/access.log;
  client_body_temp_path $nginx_dir/tmp;
  types { application/octet-stream exe dll; text/plain dat; }
  server {
    listen 127.0.0.1:$port;
    root $demo/web;
    location /tandrel/gxdata/ { }
  }
}
CONF
stop_server() {
  if [ -s "$nginx_dir/nginx.pid" ]; then
    kill "$(cat "$nginx_dir/nginx.pid")" 2>/dev/null || true
    rm -f "$nginx_dir/nginx.pid"
  fi
}
session_pid=""
finish() {
  if [ -n "$session_pid" ]; then
    touch "$demo/tour.done"
    wait "$session_pid" 2>/dev/null || true
  fi
  stop_server
}
trap finish EXIT
nginx -p "$nginx_dir" -c "$nginx_dir/nginx.conf" || die "nginx did not start on 127.0.0.1:$port (log: $nginx_dir/logs/error.log)"
say "update server on http://127.0.0.1:$port/tandrel/gxdata/"
cp "$here/tools/demo_session.sh" "$demo/session.sh"

if [ "$mode" = interactive ]; then
  # The root reaches the display through the shared /tmp; it needs the cookie too.
  if [ -n "${XAUTHORITY:-}" ] && [ -r "$XAUTHORITY" ]; then
    cp "$XAUTHORITY" "$demo/xauthority"
    export XAUTHORITY="$demo/xauthority"
  fi
  "$here/tools/demo_root.sh" run "$build_dir" env DISPLAY="$DISPLAY" XAUTHORITY="${XAUTHORITY:-}" \
    bash "$demo/session.sh" "$demo" interactive
  exit 0
fi

say "playing the tour in a private Xvfb"
rm -f "$demo/display" "$demo/tour.done"
"$here/tools/demo_root.sh" run "$build_dir" bash "$demo/session.sh" "$demo" tour &
session_pid=$!
status=0
python3 "$here/tools/demo_tour.py" --root "$TANDREL_DEMO_ROOT" --demo "$demo" --out "$build_dir/tour" || status=$?
touch "$demo/tour.done"
wait "$session_pid" || true
session_pid=""
say "finished in $((SECONDS - started)) s"
exit $status
