#!/usr/bin/env python3
"""Fails on any #include "..." under src/ that points up the layer table or
into tools/, naming the file and line. The table is the README's: a folder may
include its own headers and those of lower layers, never a peer's (image and
vorbis, core and audio know nothing of each other). platform/platform.h is the
interface every layer may include, and it includes nothing of the project."""
import os
import re
import sys

LAYERS = {
    "support": 0,
    "image": 1, "vorbis": 1,
    "core": 2, "audio": 2,
    "sim": 3,
    "game": 4,
    "platform": 5,
}
INTERFACE = "platform/platform.h"
# Headers the build writes (from project() and assets/icon) into its own
# include folder; they include nothing of the project.
GENERATED = {"vantrel_version.h", "vantrel_icon_pixels.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    return path.split("/", 1)[0]


def check(src):
    errors = []
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp", ".c", ".inc")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            own = folder_of(rel)
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    where = "src/%s:%d: #include \"%s\"" % (rel, number, target)
                    if os.path.exists(os.path.join(os.path.dirname(path), target)) and "/" not in target:
                        continue  # a sibling header of the same folder
                    if target in GENERATED:
                        continue
                    if not os.path.exists(os.path.join(src, target)):
                        errors.append("%s: not a header under src/ (tools/ and outside code are off limits)" % where)
                        continue
                    if rel == INTERFACE:
                        errors.append("%s: the platform interface includes nothing of the project" % where)
                        continue
                    if target == INTERFACE:
                        continue
                    theirs = folder_of(target)
                    if own not in LAYERS or theirs not in LAYERS:
                        errors.append("%s: folder not in the layer table" % where)
                    elif theirs != own and LAYERS[theirs] >= LAYERS[own]:
                        kind = "a peer layer" if LAYERS[theirs] == LAYERS[own] else "a higher layer"
                        errors.append("%s: %s (%s) from %s" % (where, kind, theirs, own))
    return errors


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src")
    errors = check(os.path.normpath(src))
    for e in errors:
        print(e)
    print("%d include(s) against the layer table" % len(errors))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
