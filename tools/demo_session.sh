#!/usr/bin/env bash
# Runs inside the demo root (tools/demo_root.sh run): one Wine 10 session of the demo.
#   demo_session.sh DEMO_DIR interactive   on $DISPLAY until the program ends
#   demo_session.sh DEMO_DIR tour          on a private Xvfb, until DEMO_DIR/tour.done appears
#                                          (the tour, outside the root, drives it)
# DEMO_DIR is the demo target's folder (bin/, client/, probe/) and holds the prefix.
# tools/demo.sh prepares DEMO_DIR/prefix.reg and the stand-in's script before it calls this.
set -euo pipefail
demo=${1:?demo dir}
mode=${2:?interactive or tour}
size=1920x1080

export WINEPREFIX="$demo/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
wine=/usr/lib/wine/wine64
log="$demo/wine.log"
say() { echo "demo: $*"; }
: >"$log"

xvfb_pid=""
finish() {
  wineserver -k >/dev/null 2>&1 || true
  timeout 20 wineserver -w >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -f "$demo/display"
}
trap finish EXIT

if [ "$mode" = tour ]; then
  rm -f "$demo/display" "$demo/displayfd" "$demo/tour.done"
  # The X screen at least as large as the virtual desktop, or windows land off-screen.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$demo/displayfd" >"$demo/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$demo/displayfd" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$demo/xvfb.log" >&2; exit 1; }
    sleep 0.1
  done
  [ -s "$demo/displayfd" ] || { echo "demo: Xvfb gave no display number" >&2; exit 1; }
  export DISPLAY=":$(tr -d '\n' <"$demo/displayfd")"
fi

ready="$WINEPREFIX/.demo-prefix-ready"
if [ ! -f "$ready" ]; then
  say "making the Wine prefix $WINEPREFIX (once)"
  rm -rf "$WINEPREFIX"
  "$wine" wineboot -i >>"$log" 2>&1 </dev/null || { echo "demo: wineboot failed (see $log)" >&2; exit 1; }
  timeout 120 wineserver -w >/dev/null 2>&1 || true
  # Caption-button glyphs and Tahoma: Debian's Wine does not find fonts-wine by itself.
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  "$wine" regedit /S "$("$wine" winepath -w "$demo/prefix.reg" 2>/dev/null)" >>"$log" 2>&1 \
    || { echo "demo: regedit failed (see $log)" >&2; exit 1; }
  # Shell folders link into $HOME: the demo's desktop shortcut must not land there.
  while IFS= read -r link; do rm -f "$link" && mkdir -p "$link"; done \
    < <(find "$WINEPREFIX/drive_c/users" -type l)
  timeout 60 wineserver -w >/dev/null 2>&1 || true
  touch "$ready"
fi

# The stand-in at the program's default client path, the program in a folder of its own.
client_dir="$WINEPREFIX/drive_c/Program Files (x86)/Tencent/WeChat"
program_dir="$WINEPREFIX/drive_c/Tandrel"
mkdir -p "$client_dir" "$program_dir"
cp "$demo/client/WeChat.exe" "$demo/standin.ini" "$client_dir/"
cp "$demo/bin/tandrel.exe" "$demo/bin/SkinH_EL.dll" "$demo/bin/sefds.she" "$program_dir/"
# Instance numbers count from 1 in every session.
rm -f "$client_dir/standin.count" "$client_dir/standin.log"
if [ "$mode" = tour ]; then
  # The tour shows a first start: no remembered client path, no desktop shortcut yet.
  rm -f "$program_dir/route.dat"
  find "$WINEPREFIX/drive_c/users" -maxdepth 3 -iname 'Tandrel.lnk' -delete 2>/dev/null || true
fi

# A pre-started server with its output in a file: Wine's background processes would hold
# our output open otherwise.
wineserver -p >>"$log" 2>&1
"$wine" wineboot >>"$log" 2>&1 </dev/null || true

if [ "$mode" = interactive ]; then
  say "Tandrel is on $DISPLAY; the add tab starts the stand-in client, its 登录 button logs in (end Tandrel from its tray icon: 退出程序)"
  "$wine" 'C:\Tandrel\tandrel.exe' >>"$log" 2>&1 </dev/null || true
  exit 0
fi

echo "$DISPLAY" >"$demo/display"
"$wine" 'C:\Tandrel\tandrel.exe' >>"$log" 2>&1 </dev/null &
program=$!
# The tour ends the session; a bound on it in case the tour itself is gone.
for _ in $(seq 1 9000); do
  [ -e "$demo/tour.done" ] && break
  kill -0 "$program" 2>/dev/null || { say "tandrel.exe ended during the tour"; break; }
  sleep 0.1
done
[ -e "$demo/tour.done" ] || say "the tour did not finish within 15 minutes"
