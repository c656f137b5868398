#!/usr/bin/env bash
# Regenerates the README's pictures in docs/ from a fresh run of the demo's tour: the main
# window cut out of four of the tour's screenshots, scaled down and stripped of metadata.
# Run as root (the tour runs in the demo root). Usage: tools/docs_pictures.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${TANDREL_DEMO_BUILD_DIR:-${TANDREL_BUILD_DIR:-$here/build}-x64}
tour="$build_dir/tour"
env -u DISPLAY TANDREL_DEMO_BUILD_DIR="$build_dir" "$here/tools/demo.sh" --tour

# The main window's place on the screen, from the tour's window probe.
crop=$(python3 - "$tour/window.json" <<'PY'
import json, sys
x, y, w, h = json.load(open(sys.argv[1]))["rect"]
print("%dx%d+%d+%d" % (w, h, x, y))
PY
)
mkdir -p "$here/docs"
for picture in empty:02-empty login-held:03-login-held three-hosted:05-three-hosted-second-selected \
               after-removal:06-after-removal; do
  name=${picture%%:*}
  shot="$tour/${picture#*:}.png"
  [ -f "$shot" ] || { echo "docs_pictures: $shot is missing" >&2; exit 1; }
  convert "$shot" -crop "$crop" +repage -resize 800x -strip -colors 256 -define png:compression-level=9 \
    "PNG8:$here/docs/tour-$name.png"
  echo "docs_pictures: docs/tour-$name.png ($(stat -c %s "$here/docs/tour-$name.png") bytes)"
done
