#!/usr/bin/env bash
# Serves a build's published update folder (cmake --build BUILD --target publish) with nginx
# on the loopback interface, in the foreground, until Ctrl+C.
# Usage: tools/serve_updates.sh [BUILD_DIR] [PORT]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$here/build}" && pwd)
port=${2:-8080}
root="$build_dir/publish"
[ -f "$root/tandrel/gxdata/txgeng.dat" ] || { echo "serve_updates: nothing published in $root (run the publish target)" >&2; exit 1; }
run="$build_dir/nginx"
mkdir -p "$run/logs" "$run/tmp"
cat >"$run/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $run/nginx.pid;
error_log $run/logs/error.log;
events { worker_connections 64; }
http {
  access_log $run/logs/access.log;
  client_body_temp_path $run/tmp;
  types { application/octet-stream exe dll sig; text/plain dat; }
  server {
    listen 127.0.0.1:$port;
    root $root;
    location /tandrel/gxdata/ { }
  }
}
CONF
echo "serve_updates: http://127.0.0.1:$port/tandrel/gxdata/ from $root (Ctrl+C ends)"
exec nginx -p "$run" -c "$run/nginx.conf"
