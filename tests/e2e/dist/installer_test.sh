#!/usr/bin/env bash
# The release bundle end to end: built by cmake/write_dist.cmake around a loopback copy of the
# program and signed with a throw-away self-signed certificate; the zip's contents and every
# signature checked; then the installer run under Wine in a prefix made for this test alone
# (dist_installer_test), and the signatures of the files it installed checked as well.
set -uo pipefail

while [ $# -gt 0 ]; do
  case "$1" in
    --cmake) cmake=$2 ;; --openssl) openssl=$2 ;; --osslsigncode) osslsigncode=$2 ;;
    --python) python=$2 ;; --source) source_dir=$2 ;; --dir) dir=$2 ;;
    --unsigned) unsigned=$2 ;; --zip) zip=$2 ;; --setup) setup=$2 ;; --program) program=$2 ;;
    --arch) export TANDREL_TEST_ARCH=$2 ;;
    *) echo "installer_test: unknown argument $1" >&2; exit 2 ;;
  esac
  shift 2
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

mkdir -p "$dir"
keys="$dir/keys"
rm -rf "$keys" "$dir/installed"
mkdir -p "$keys" "$dir/installed"

# A certificate for this run only.
"$openssl" req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tandrel test signing (throw-away)" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$keys/key.pem" -out "$keys/cert.pem" >"$keys/openssl.log" 2>&1 \
  || { cat "$keys/openssl.log"; echo "FAIL: no throw-away certificate"; exit 1; }
cat >"$dir/sign_settings.cmake" <<SETTINGS
set(OSSLSIGNCODE [==[$osslsigncode]==])
set(SIGN_CERT [==[$keys/cert.pem]==])
set(SIGN_KEY [==[$keys/key.pem]==])
SETTINGS

rm -f "$zip" "$setup"
echo "installer_test: building the bundle"
"$cmake" -DSETTINGS="$dir/dist_settings.cmake" -P "$source_dir/cmake/write_dist.cmake" \
  || { echo "FAIL: write_dist.cmake"; exit 1; }
[ -f "$zip" ] && [ -f "$setup" ] || { echo "FAIL: the bundle is missing"; exit 1; }

verify() {  # verify FILE WHAT
  if "$osslsigncode" verify -CAfile "$keys/cert.pem" -in "$1" >"$dir/verify.log" 2>&1; then
    ok "$2 carries a valid signature"
  else
    cat "$dir/verify.log"; fail "$2 carries no valid signature"
  fi
}

# The zip: the four files in order, the notes in GBK with CR LF, the executables signed.
unpacked="$dir/unpacked"
rm -rf "$unpacked"
if "$python" - "$zip" "$unpacked" <<'PY'
import sys, zipfile
path, out = sys.argv[1], sys.argv[2]
archive = zipfile.ZipFile(path)
names = [i.filename for i in archive.infolist()]
expected = ["tandrel.exe", "SkinH_EL.dll", "sefds.she", "使用说明.txt"]
problems = []
if names != expected:
    problems.append(f"entries {names}, expected {expected}")
notes = archive.read("使用说明.txt") if "使用说明.txt" in names else b""
try:
    text = notes.decode("gbk")
except UnicodeDecodeError as e:
    problems.append(f"the notes are not GBK: {e}")
    text = ""
if notes.count(b"\n") == 0 or notes.count(b"\n") != notes.count(b"\r\n"):
    problems.append("the notes' lines do not all end in CR LF")
for needed in ["Alt", "托盘", "退出程序", "%LOCALAPPDATA%\\Tandrel\\tandrel.log", "route.dat",
               "%LOCALAPPDATA%\\Programs\\Tandrel", "第一次使用，先打开微信登录窗口或微信，再启动多开软件！"]:
    if needed not in text:
        problems.append(f"the notes do not mention {needed}")
archive.extractall(out)
for p in problems:
    print("FAIL:", p)
sys.exit(1 if problems else 0)
PY
then ok "the zip holds the four files and the notes are GBK with CR LF"; else failures=$((failures + 1)); fi
verify "$unpacked/tandrel.exe" "the zip's tandrel.exe"
verify "$unpacked/SkinH_EL.dll" "the zip's SkinH_EL.dll"
verify "$setup" "the installer"
# The check itself tells signed from unsigned: the build's own copy carries no signature.
if "$osslsigncode" verify -CAfile "$keys/cert.pem" -in "$unsigned" >/dev/null 2>&1; then
  fail "osslsigncode verify accepted an unsigned file"
fi

# The installer in a prefix of its own: nothing installed before, nothing of another test's.
echo "installer_test: running the installer under Wine in a fresh prefix"
outer_screenshots=${TANDREL_SCREENSHOT_DIR:-}
# shellcheck source=tools/testbed.sh
. "$source_dir/tools/testbed.sh"
bed="$dir/bed"
mkdir -p "$bed"
rm -rf "$(testbed_prefix_for "$bed")"
trap testbed_down EXIT
if testbed_up "$bed"; then
  [ -n "$outer_screenshots" ] && export TANDREL_SCREENSHOT_DIR="$outer_screenshots"
  # Wine's menu builder would turn the installer's shortcuts into launchers in the real $HOME
  # (~/.local/share/applications, ~/.config/menus) and the prefix's desktop folder.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
  "$source_dir/tools/wine-run.sh" "$program" --gtest_color=no || fail "dist_installer_test"
else
  fail "no Wine prefix for the installer"
fi
testbed_down
trap - EXIT

# What the installer put into the program's folder, copied there by the test before uninstalling.
for name in tandrel.exe SkinH_EL.dll uninstall.exe; do
  if [ -f "$dir/installed/$name" ]; then
    verify "$dir/installed/$name" "the installed $name"
  else
    fail "the test left no copy of the installed $name"
  fi
done

if [ "$failures" -gt 0 ]; then
  echo "installer_test: $failures failures"
  exit 1
fi
echo "installer_test: passed"
