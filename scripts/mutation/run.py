#!/usr/bin/env python3
"""Mutation sample: applies each mutant of a list (one single-token change to
the game's code), rebuilds, runs the whole ctest except the Wine, Xvfb/SDL,
packaging and browser runs, and records whether some test failed (killed) or
all passed (survived). Not part of `make test`: a full run takes about an hour.

    scripts/mutation/run.py [--list FILE] [--build DIR] [--only N,M] > table.md

List lines: file @@ exact text (once in the file) @@ replacement @@ what it breaks
"""
import argparse
import os
import subprocess
import sys
import time

EXCLUDE = "windows|sdl|Sdl|web|browser|xvfb|Xvfb|package|wine"
ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def read_list(path):
    mutants = []
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if not line.strip() or line.startswith("#"):
            continue
        parts = [p.strip() for p in line.split(" @@ ")]
        if len(parts) != 4:
            sys.exit("bad mutant line: " + line)
        mutants.append(parts)
    return mutants


def run(command, cwd, timeout=None):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", default=os.path.join(ROOT, "scripts/mutation/mutants.txt"))
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--seconds", type=int, default=180, help="limit per mutant's test run")
    parser.add_argument("--only", default="", help="comma-separated mutant numbers")
    args = parser.parse_args()
    mutants = read_list(args.list)
    only = {int(n) for n in args.only.split(",") if n}
    build = os.path.abspath(args.build)
    ctest = ["ctest", "-j2", "-E", EXCLUDE]
    if run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
            "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2", "-DVANTREL_BENCH=OFF"], ROOT) != 0 or \
       run(["cmake", "--build", build, "-j2"], ROOT) != 0:
        sys.exit("the unmutated tree does not build")
    if run(ctest, build) != 0:
        sys.exit("the unmutated suite fails")
    print("| # | Mutant | Result | Seconds |")
    print("|---:|---|---|---:|")
    killed = total = 0
    for number, (path, old, new, what) in enumerate(mutants, 1):
        if only and number not in only:
            continue
        total += 1
        full = os.path.join(ROOT, path)
        text = open(full, encoding="utf-8").read()
        if text.count(old) != 1:
            print("| %d | `%s`: %s | NOT APPLIED (text found %d times) | |" % (number, path, what, text.count(old)))
            continue
        started = time.time()
        open(full, "w", encoding="utf-8").write(text.replace(old, new, 1))
        try:
            if run(["cmake", "--build", build, "-j2"], ROOT) != 0:
                result = "killed (does not build)"
            elif run(ctest + ["--stop-on-failure"], build, args.seconds) == 0:
                result = "SURVIVED"
            else:
                result = "killed"
        finally:
            open(full, "w", encoding="utf-8").write(text)
        if result.startswith("killed"):
            killed += 1
        print("| %d | `%s`: %s | %s | %d |" % (number, path, what, result, time.time() - started), flush=True)
    run(["cmake", "--build", build, "-j2"], ROOT)
    print("\nkilled %d of %d" % (killed, total))


if __name__ == "__main__":
    main()
