#!/usr/bin/env python3
"""Fails on any #include "..." under src/ that points up the layer table or
into tools/, naming the file and line. The table is the README's: a folder may
include its own headers and those of lower layers, never a peer's (image and
vorbis, core and audio know nothing of each other). platform/platform.h is the
interface every layer may include, and it includes nothing of the project."""
import os
import re
import sys

LAYERS = {"support": 0, "image": 1, "vorbis": 1, "core": 2, "audio": 2, "sim": 3, "game": 4, "platform": 5}
INTERFACE = "platform/platform.h"
# Headers the build writes into its own include folder; they include nothing of the project.
GENERATED = {"vantrel_version.h", "vantrel_icon_pixels.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def problem(src, path, rel, target):
    if "/" not in target and os.path.exists(os.path.join(os.path.dirname(path), target)):
        return None  # a sibling header of the same folder
    if target in GENERATED:
        return None
    if not os.path.exists(os.path.join(src, target)):
        return "not a header under src/ (tools/ and outside code are off limits)"
    if rel == INTERFACE:
        return "the platform interface includes nothing of the project"
    if target == INTERFACE:
        return None
    own, theirs = rel.split("/", 1)[0], target.split("/", 1)[0]
    if own not in LAYERS or theirs not in LAYERS:
        return "folder not in the layer table"
    if theirs != own and LAYERS[theirs] >= LAYERS[own]:
        kind = "a peer layer" if LAYERS[theirs] == LAYERS[own] else "a higher layer"
        return "%s (%s) from %s" % (kind, theirs, own)
    return None


def main():
    src = os.path.normpath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..", "src"))
    errors = []
    for root, _, files in os.walk(src):
        for name in sorted(f for f in files if f.endswith((".h", ".cpp", ".c", ".inc"))):
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    why = m and problem(src, path, rel, m.group(1))
                    if why:
                        errors.append('src/%s:%d: #include "%s": %s' % (rel, number, m.group(1), why))
    for e in errors:
        print(e)
    print("%d include(s) against the layer table" % len(errors))
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
