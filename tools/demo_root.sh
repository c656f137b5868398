#!/usr/bin/env bash
# The demo's Debian 13 root: Debian 12's Wine 8 does not draw another process's window once it
# is reparented into ours, Wine 10 (Debian 13) does. The root is made once and reused.
#
#   tools/demo_root.sh ensure            makes the root if it is missing or unfinished
#   tools/demo_root.sh run DIR CMD...    runs CMD inside the root, with /proc, /sys, /dev, /tmp
#                                        and DIR (at the same path) mounted for the run only
#
# Only the 64-bit Wine goes in: this machine may not execute 32-bit code, and with wine32:i386
# installed Wine tries the 32-bit loader first and fails.
# TANDREL_DEMO_ROOT overrides the place (default /var/tmp/tandrel-demo-root).
set -euo pipefail
demo_root=${TANDREL_DEMO_ROOT:-/var/tmp/tandrel-demo-root}
ready_mark="$demo_root/.tandrel-demo-root-ready"
ready_version="trixie wine64 zh_CN fonts v1"
root_packages=(wine wine64 libwine xvfb xauth locales fonts-wine fonts-wqy-zenhei)

die() { echo "demo-root: ERROR: $*" >&2; exit 1; }
say() { echo "demo-root: $*"; }

[ "$(id -u)" = 0 ] || die "run as root (debootstrap, chroot and mount need it)"

# The Debian mirror this machine already uses; Debian's own when none is configured.
debian_mirror() {
  local uri=""
  if [ -r /etc/apt/sources.list.d/debian.sources ]; then
    uri=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) if ($i ~ /\/debian\/?$/) { print $i; exit } }' \
      /etc/apt/sources.list.d/debian.sources)
  fi
  if [ -z "$uri" ] && [ -r /etc/apt/sources.list ]; then
    uri=$(awk '$1 == "deb" && $2 ~ /\/debian\/?$/ { print $2; exit }' /etc/apt/sources.list)
  fi
  echo "${uri:-http://deb.debian.org/debian}"
}

root_is_ready() { [ -f "$ready_mark" ] && [ "$(cat "$ready_mark")" = "$ready_version" ]; }

make_root() {
  local mirror log
  mirror=$(debian_mirror)
  log="$demo_root.log"
  if [ ! -x "$demo_root/usr/bin/apt-get" ] || [ ! -f "$demo_root/.debootstrap-done" ]; then
    command -v debootstrap >/dev/null || die "debootstrap is missing (tools/setup.sh installs it)"
    say "making a Debian 13 root in $demo_root from $mirror (once; log: $log)"
    rm -rf "$demo_root"
    debootstrap --variant=minbase trixie "$demo_root" "$mirror" >"$log" 2>&1 \
      || { tail -20 "$log" >&2; die "debootstrap failed (log: $log)"; }
    touch "$demo_root/.debootstrap-done"
  fi
  say "installing Wine 10 and fonts in the root (once)"
  with_mounts "" env DEBIAN_FRONTEND=noninteractive apt-get update -q >>"$log" 2>&1 \
    || { tail -20 "$log" >&2; die "apt-get update in the root failed (log: $log)"; }
  with_mounts "" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${root_packages[@]}" >>"$log" 2>&1 \
    || { tail -20 "$log" >&2; die "apt-get install in the root failed (log: $log)"; }
  # Chinese file names under Wine need the glibc locale, not only LC_ALL.
  sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' "$demo_root/etc/locale.gen"
  grep -q '^zh_CN.UTF-8 UTF-8' "$demo_root/etc/locale.gen" || echo 'zh_CN.UTF-8 UTF-8' >>"$demo_root/etc/locale.gen"
  with_mounts "" locale-gen >>"$log" 2>&1 || die "locale-gen in the root failed (log: $log)"
  with_mounts "" apt-get clean >>"$log" 2>&1 || true
  echo "$ready_version" >"$ready_mark"
  say "root ready"
}

# Mounts made by this run, undone in reverse order whatever happens.
mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -R "${mounted[$i]}" 2>/dev/null || umount -lR "${mounted[$i]}" 2>/dev/null \
      || echo "demo-root: could not unmount ${mounted[$i]}" >&2
  done
  mounted=()
}
mount_into() { # TARGET then mount arguments
  local target=$1; shift
  mkdir -p "$target"
  mount "$@" "$target" || die "mount $* $target failed"
  mounted+=("$target")
}
bind_into() { # SOURCE TARGET: recursive bind that cannot pass an unmount back to the host
  mount_into "$2" --rbind "$1"
  mount --make-rslave "$2"
}

with_mounts() { # BIND_DIR (or "") then the command
  local bind_dir=$1; shift
  trap unmount_all EXIT INT TERM
  mount_into "$demo_root/proc" -t proc proc
  bind_into /sys "$demo_root/sys"
  bind_into /dev "$demo_root/dev"
  bind_into /tmp "$demo_root/tmp"
  [ -z "$bind_dir" ] || bind_into "$bind_dir" "$demo_root$bind_dir"
  cp -L /etc/resolv.conf "$demo_root/etc/resolv.conf" 2>/dev/null || true
  local status=0
  chroot "$demo_root" "$@" || status=$?
  unmount_all
  trap - EXIT INT TERM
  return $status
}

# One run at a time per root: runs share its mount points.
exec 9>"$demo_root.lock"
flock 9

case "${1:-}" in
  ensure)
    root_is_ready || make_root
    ;;
  run)
    [ $# -ge 3 ] || die "usage: $0 run DIR CMD..."
    root_is_ready || make_root
    dir=$(cd "$2" && pwd); shift 2
    with_mounts "$dir" "$@"
    ;;
  *)
    die "usage: $0 ensure | run DIR CMD..."
    ;;
esac
