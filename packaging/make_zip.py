#!/usr/bin/env python3
"""Writes a zip of the given files, each stored under its own file name, in the order given.

Usage: make_zip.py OUTPUT.zip FILE...

Names that are not ASCII are stored as UTF-8 with the zip's UTF-8 flag set, which Windows'
own zip folders, 7-Zip and WinRAR read. Each entry carries the file's modification time.
"""
import os
import sys
import zipfile


def main() -> int:
    output, files = sys.argv[1], sys.argv[2:]
    partial = output + ".partial"
    with zipfile.ZipFile(partial, "w", compression=zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in files:
            archive.write(path, arcname=os.path.basename(path))
    os.replace(partial, output)  # never a half-written zip under the real name
    return 0


if __name__ == "__main__":
    sys.exit(main())
