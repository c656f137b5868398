# The Wine test bed. Source this file, then:
#   testbed_up BUILD_DIR    starts Xvfb and a Wine server for BUILD_DIR's prefix, exports the
#                           environment (WINEPREFIX, DISPLAY, LC_ALL, ...), creating the prefix
#                           on first use
#   testbed_down            ends every Wine process of the prefix and the Xvfb it started
# The prefix lives outside the source tree, one per build directory.
# TANDREL_DESKTOP_SIZE (default 1920x1080) is the virtual desktop every program opens in.
# TANDREL_TEST_ARCH (i686 or x86_64, default i686) selects a 32- or 64-bit prefix and loader.

# True when this machine can execute 32-bit x86 code (some kernels run with ia32 emulation off;
# then neither Wine's 32-bit loader nor its WoW64 mode can run a 32-bit program).
testbed_can_run_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

_testbed_die() { echo "testbed: ERROR: $*" >&2; return 1; }

testbed_prefix_for() {
  local build_dir hash
  build_dir=$(cd "$1" && pwd)
  hash=$(printf '%s' "$build_dir" | md5sum | cut -c1-12)
  echo "/var/tmp/tandrel-wine/$hash"
}

_testbed_write_reg() {
  # Chinese value names need a UTF-16LE .reg file with a BOM.
  local size=$1 out=$2
  python3 - "$size" "$out" <<'PY'
import sys
size, out = sys.argv[1], sys.argv[2]
font = "WenQuanYi Zen Hei"
faces = ["SimSun", "宋体", "SimHei", "黑体", "Microsoft YaHei", "微软雅黑", "NSimSun", "新宋体"]
lines = ["Windows Registry Editor Version 5.00", "",
         r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
lines += ['"%s"="%s"' % (f, font) for f in faces]
lines += ["", r"[HKEY_CURRENT_USER\Software\Wine\WineDbg]", '"ShowCrashDialog"=dword:00000000',
          "", r"[HKEY_CURRENT_USER\Software\Wine\Explorer]", '"Desktop"="Default"',
          "", r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]", '"Default"="%s"' % size,
          # The taskbar with its notification area (the tray icon lives there).
          "", r"[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops\Default]", '"EnableShell"=dword:00000001',
          "", r"[HKEY_CURRENT_USER\Software\Wine\DllOverrides]", '"mscoree"=""', '"mshtml"=""',
          "", r"[HKEY_CURRENT_USER\Control Panel\International]", '"Locale"="00000804"', ""]
with open(out, "wb") as f:
    f.write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
PY
}

testbed_up() {
  local build_dir=${1:?build dir}
  local size=${TANDREL_DESKTOP_SIZE:-1920x1080}
  local root; root=$(testbed_prefix_for "$build_dir")
  mkdir -p "$root"
  local arch=${TANDREL_TEST_ARCH:-i686}
  if [ "$arch" = x86_64 ]; then
    export WINEARCH=win64 TANDREL_WINE=/usr/lib/wine/wine64
  else
    export WINEARCH=win32 TANDREL_WINE=/usr/lib/wine/wine
  fi
  export WINEPREFIX="$root/prefix" LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export TANDREL_TESTBED_LOG="$root/wine.log"
  unset WINELOADERNOEXEC || true

  # A private X screen at least as large as the desktop.
  local sw=${size%x*} sh=${size#*x}
  [ "$sw" -ge 1920 ] || sw=1920
  [ "$sh" -ge 1080 ] || sh=1080
  local fdfile="$root/displayfd"
  rm -f "$fdfile"
  Xvfb -displayfd 3 -screen 0 "${sw}x${sh}x24" -nolisten tcp 3>"$fdfile" >"$root/xvfb.log" 2>&1 &
  TESTBED_XVFB_PID=$!
  export TESTBED_XVFB_PID
  local i
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    kill -0 "$TESTBED_XVFB_PID" 2>/dev/null || { cat "$root/xvfb.log" >&2; _testbed_die "Xvfb did not start"; return 1; }
    sleep 0.1
  done
  [ -s "$fdfile" ] || { _testbed_die "Xvfb gave no display number"; return 1; }
  export DISPLAY=":$(tr -d '\n' <"$fdfile")"

  if [ ! -f "$root/.prefix-ready" ] || [ "$(cat "$root/.prefix-ready")" != "$arch $size v2" ]; then
    echo "testbed: preparing the Wine prefix in $WINEPREFIX ($arch, desktop $size)"
    rm -rf "$WINEPREFIX"
    "$TANDREL_WINE" wineboot -i >>"$TANDREL_TESTBED_LOG" 2>&1 </dev/null || { _testbed_die "wineboot failed (see $TANDREL_TESTBED_LOG)"; return 1; }
    timeout 120 wineserver -w >/dev/null 2>&1 || true
    # Caption-button glyphs and Tahoma: Debian's Wine does not find fonts-wine by itself.
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    _testbed_write_reg "$size" "$root/testbed.reg"
    "$TANDREL_WINE" regedit /S "$("$TANDREL_WINE" winepath -w "$root/testbed.reg" 2>/dev/null)" >>"$TANDREL_TESTBED_LOG" 2>&1 \
      || { _testbed_die "regedit failed"; return 1; }
    # Shell folders link into $HOME; tests must never write there.
    local link
    while IFS= read -r link; do
      rm -f "$link" && mkdir -p "$link"
    done < <(find "$WINEPREFIX/drive_c/users" -type l)
    timeout 60 wineserver -w >/dev/null 2>&1 || true
    echo "$arch $size v2" >"$root/.prefix-ready"
  fi
  # Pre-started server with its output in a file: background Wine processes would
  # otherwise hold the first program's stderr open.
  wineserver -p >>"$TANDREL_TESTBED_LOG" 2>&1 || { _testbed_die "wineserver did not start (see $TANDREL_TESTBED_LOG)"; return 1; }
  "$TANDREL_WINE" wineboot >>"$TANDREL_TESTBED_LOG" 2>&1 </dev/null || true
  export TANDREL_SCREENSHOT_DIR="$build_dir/screenshots"
  mkdir -p "$TANDREL_SCREENSHOT_DIR"
}

testbed_down() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    # -k returns before the processes are gone; -w waits for this prefix's server only.
    timeout 20 wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "${TESTBED_XVFB_PID:-}" ]; then
    kill "$TESTBED_XVFB_PID" 2>/dev/null || true
    wait "$TESTBED_XVFB_PID" 2>/dev/null || true
    unset TESTBED_XVFB_PID
  fi
}
