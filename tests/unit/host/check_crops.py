#!/usr/bin/env python3
"""Decodes the crop results that host_avatar_test wrote, with ImageMagick, and checks that
every result shows exactly the expected rectangle of its source image.

Usage: check_crops.py <folder with manifest.txt>
Each manifest line: <name> <x> <y> <w> <h>, the rectangle of <name>_src.bmp (top-left
origin) that <name>_out.bmp must hold.
"""
import os
import subprocess
import sys


def decode(path, crop=None):
    """RGB bytes and size of a BMP, decoded by ImageMagick."""
    args = ["convert", path]
    if crop:
        x, y, w, h = crop
        args += ["-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage"]
    size = subprocess.run(args + ["-format", "%w %h", "info:"], check=True,
                          capture_output=True, text=True).stdout.split()
    rgb = subprocess.run(args + ["-alpha", "off", "-depth", "8", "rgb:-"], check=True,
                         capture_output=True).stdout
    return (int(size[0]), int(size[1])), rgb


def main():
    folder = sys.argv[1]
    manifest = os.path.join(folder, "manifest.txt")
    if not os.path.exists(manifest):
        print("no manifest at %s: run host_avatar_test first" % manifest)
        return 1
    failures = 0
    cases = 0
    for line in open(manifest):
        parts = line.split()
        if len(parts) != 5:
            continue
        name = parts[0]
        rect = tuple(int(v) for v in parts[1:])
        cases += 1
        out_size, out_rgb = decode(os.path.join(folder, name + "_out.bmp"))
        want_size, want_rgb = decode(os.path.join(folder, name + "_src.bmp"), rect)
        if out_size != (rect[2], rect[3]) or want_size != out_size:
            print("%s: size %s, expected %s" % (name, out_size, (rect[2], rect[3])))
            failures += 1
        elif out_rgb != want_rgb:
            first = next(i for i in range(len(out_rgb)) if out_rgb[i] != want_rgb[i])
            pixel = first // 3
            print("%s: pixel (%d, %d) differs" % (name, pixel % out_size[0], pixel // out_size[0]))
            failures += 1
        else:
            print("%s: ok (%dx%d)" % (name, out_size[0], out_size[1]))
    if cases == 0:
        print("manifest lists no cases")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
