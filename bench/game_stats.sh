#!/bin/sh
# Whole-game figures: the route with sound through vantrel-headless --stats,
# RUNS times (default 3), printed as medians. With a second build directory
# the two are run alternately in the same loop, so both see the same load.
# usage: bench/game_stats.sh BUILD_DIR [BASELINE_BUILD_DIR]
set -eu
[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [BASELINE_BUILD_DIR]" >&2; exit 2; }
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNS=${RUNS:-3}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

run_one() {  # build dir, label, run number
  save="$WORK/save-$2-$3"
  (cd "$1" && ./vantrel-headless --script "$ROOT/assets/route.txt" --stats --save-dir "$save") \
    | awk -v l="$2" '{ print l, $1, $2 }' >> "$WORK/stats"
}

i=1
while [ "$i" -le "$RUNS" ]; do
  run_one "$1" ours "$i"
  [ $# -ge 2 ] && run_one "$2" baseline "$i"
  i=$((i + 1))
done

echo "load: $(uptime | sed 's/.*load average/load average/')"
for label in ours baseline; do
  grep -q "^$label " "$WORK/stats" || continue
  for key in startup_seconds peak_rss_kb run_frame_mean_ms run_frame_p99_ms; do
    grep "^$label $key " "$WORK/stats" | awk '{ print $3 }' | sort -g |
      awk -v l="$label" -v k="$key" '{ v[NR] = $1 } END { printf "%-8s %-18s median %s (of %d)\n", l, k, v[int((NR + 1) / 2)], NR }'
  done
done
