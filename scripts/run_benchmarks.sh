#!/bin/sh
# Runs every benchmark executable of a build directory.
set -e
dir=${1:-build}
found=0
for b in $(find "$dir/bench" -type f -perm -u+x -name '*_bench' 2>/dev/null | sort); do
  found=1
  echo "== $b"
  "$b" --benchmark_counters_tabular=true
done
[ $found = 1 ] || echo "no benchmarks built yet"
