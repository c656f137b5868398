#!/usr/bin/env bash
# The demo: Tandrel hosting stand-in messaging clients under Wine 10, so that you see what it
# is for. On your display it is interactive; without one it plays a scripted tour in a private
# Xvfb and writes numbered screenshots and a contact sheet into build-x64/tour/.
# Run as root on Debian 12: it installs only what the demo needs (tools/setup.sh --demo), makes
# the demo's Debian 13 root once (tools/demo_root.sh), builds only the demo's pieces of the
# x86_64 build and runs tools/demo.sh. Arguments go to tools/demo.sh (--tour: the tour even on
# a display).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
[ "$(id -u)" = 0 ] || { echo "run: run as root (it installs Debian packages and makes a chroot)" >&2; exit 1; }
started=$SECONDS
echo "run: installing what the demo needs (Debian packages; libpng cross-built once)"
"$here/tools/setup.sh" --demo
echo "run: set-up done after $((SECONDS - started)) s"
exec "$here/tools/demo.sh" "$@"
