#!/usr/bin/env bash
# The committed pictures read by an independent decoder (ImageMagick): sizes, alpha,
# colours at a few points, and the icon file's exact size.
set -euo pipefail
dir=${1:?resources dir}
fail() { echo "check_pictures: $*" >&2; exit 1; }
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }

[ "$(identify -format '%w %h %[channels]' "$dir/plus.png")" = "50 50 srgba" ] || fail "plus.png is not 50x50 RGBA"
[ "$(identify -format '%w %h %[channels]' "$dir/tao.png")" = "60 60 srgba" ] || fail "tao.png is not 60x60 RGBA"
[ "$(stat -c %s "$dir/tandrel.ico")" = 9662 ] || fail "tandrel.ico is not 9662 bytes"
[ "$(identify -format '%w %h %[channels] %z\n' "$dir/tandrel.ico")" = "48 48 srgba 8" ] || fail "tandrel.ico is not one 48x48 image with alpha"
[ "$(pixel "$dir/plus.png" 25 25)" = "srgba(255,255,255,1)" ] || fail "plus.png: no white plus in the middle"
[[ "$(pixel "$dir/plus.png" 0 0)" == *",0)" ]] || fail "plus.png: corner not transparent"
[[ "$(pixel "$dir/plus.png" 6 25)" == "srgba(26,173,25,1)" ]] || fail "plus.png: no green disc"
[[ "$(pixel "$dir/tao.png" 3 30)" == "srgba(230,30,30,1)" ]] || fail "tao.png: no red square"
echo "check_pictures: ok"
