#!/usr/bin/env bash
# SkinH_EL.dll must export exactly "SkinH_AttachEx", undecorated, from a PE32 (i386) image.
set -euo pipefail
objdump=$1 dll=$2
# objdump translates its headings ("file format") under a Chinese locale, as the test bed sets.
headers=$(LC_ALL=C "$objdump" -p "$dll")
grep -q 'file format pei-i386' <<<"$headers" || { echo "not a PE32 i386 image" >&2; exit 1; }
names=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | grep '\[' | grep -v 'Table' | awk '{print $NF}')
echo "exports: $names"
[ "$names" = "SkinH_AttachEx" ] || { echo "expected the single export SkinH_AttachEx" >&2; exit 1; }
