#!/usr/bin/env bash
# tandrel.exe must be a PE32 GUI program for i386 that imports no MinGW runtime DLL.
set -euo pipefail
objdump=$1 exe=$2
# objdump translates "file format" under the test bed's Chinese locale.
headers=$(LC_ALL=C "$objdump" -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || { echo "not a PE32 i386 image"; exit 1; }
grep -Eq 'Subsystem[[:space:]]+0+2[[:space:]]' <<<"$headers" || { echo "not a GUI subsystem program"; exit 1; }
dlls=$(grep 'DLL Name:' <<<"$headers" | awk '{print tolower($3)}')
echo "imports: $(echo $dlls)"
if grep -Eq 'libgcc|libstdc\+\+|libwinpthread|mingw' <<<"$dlls"; then
  echo "imports a MinGW runtime DLL"; exit 1
fi
