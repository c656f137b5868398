#!/usr/bin/env python3
"""Layers only point down: no source file includes a header of a layer above its own, and no
library links one. And identifiers are English: Chinese stands only in texts and comments.
Reads the sources and the CMake files as text; needs no build.

Usage: check_layers.py SOURCE_DIR
"""
import pathlib
import re
import sys

# What each folder's code may include (besides system and third-party headers).
ALLOWED_INCLUDES = {
    "util": {"util"},
    "ui": {"util", "ui"},
    "host": {"util", "host"},
    "http": {"util", "http"},
    "update": {"util", "http", "update"},
    "updater": {"util", "http", "update", "updater"},
    "skin": {"util", "skin"},
    "app": {"util", "ui", "host", "http", "update", "app", "resources"},
}
# update/ files the updater may use: the pure core and the shared hand-off names.
UPDATER_ALLOWED_UPDATE_HEADERS = {
    "update/manifest.h", "update/safe_name.h", "update/file_version.h", "update/link_address.h",
    "update/due_list.h", "update/handoff_files.h", "update/failed_update.h",
    "update/install_journal.h", "update/install_recovery.h",
}
# Libraries each folder's targets may link.
LIBRARY_LAYER = {
    "tandrel_util": "util", "tandrel_ui": "ui", "tandrel_host": "host", "tandrel_http": "http",
    "tandrel_update_core": "update", "tandrel_update": "update", "tandrel_app": "app",
    "tandrel_updater_core": "updater", "tandrel_skin_format": "skin",
}
# A folder's libraries may link what its code may include.
ALLOWED_LINKS = ALLOWED_INCLUDES

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
LIBRARY_NAME = re.compile(r"\btandrel_[a-z_]+\b")
# Texts, characters and comments, removed before looking for Chinese in the code itself.
TEXTS_AND_COMMENTS = re.compile(r'"(?:[^"\\\n]|\\.)*"|\'(?:[^\'\\\n]|\\.)*\'|//[^\n]*|/\*.*?\*/', re.DOTALL)
CHINESE = re.compile("[\u4e00-\u9fff]")
CODE_FOLDERS = list(ALLOWED_INCLUDES) + ["tests", "tools"]


def chinese_identifiers(root: pathlib.Path):
    for folder in CODE_FOLDERS:
        for source in sorted((root / folder).rglob("*")) if (root / folder).is_dir() else []:
            if source.suffix not in {".h", ".cpp", ".c"}:
                continue
            code = TEXTS_AND_COMMENTS.sub(" ", source.read_text(encoding="utf-8", errors="replace"))
            for number, line in enumerate(code.splitlines(), 1):
                if CHINESE.search(line):
                    yield f"{source.relative_to(root)}:{number}: Chinese in code outside texts and comments: {line.strip()[:80]}"


def main() -> int:
    root = pathlib.Path(sys.argv[1]).resolve()
    problems = []
    for layer, allowed in ALLOWED_INCLUDES.items():
        folder = root / layer
        if not folder.is_dir():
            continue
        for source in sorted(folder.rglob("*")):
            if source.suffix not in {".h", ".cpp", ".c", ".rc"}:
                continue
            text = source.read_text(encoding="utf-8", errors="replace")
            for header in INCLUDE.findall(text):
                top = header.split("/", 1)[0] if "/" in header else None
                if top is None or top not in ALLOWED_INCLUDES and top != "resources":
                    continue  # a header beside the file, or not one of ours
                relative = source.relative_to(root)
                if top not in allowed:
                    problems.append(f"{relative}: includes {header} (layer {top} is above {layer})")
                elif layer == "updater" and top == "update" and header not in UPDATER_ALLOWED_UPDATE_HEADERS:
                    problems.append(f"{relative}: includes {header} (the updater uses only update's core)")
        cmake = folder / "CMakeLists.txt"
        if cmake.is_file():
            for name in sorted(set(LIBRARY_NAME.findall(cmake.read_text(encoding="utf-8")))):
                target_layer = LIBRARY_LAYER.get(name)
                if target_layer and target_layer not in ALLOWED_LINKS[layer]:
                    problems.append(f"{layer}/CMakeLists.txt: names {name} (layer {target_layer} is above {layer})")
    problems.extend(chinese_identifiers(root))
    for line in problems:
        print(line)
    print(f"{len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
