#!/bin/sh
# Runs each libFuzzer target for a bounded time on its seed corpus and fails on
# the first finding. Corpora grow in a scratch directory, never in the repo.
set -e
dir=${1:-build-fuzz}
seconds=${2:-60}
status=0
for f in $(find "$dir/fuzz" -type f -perm -u+x -name '*_fuzz' 2>/dev/null | sort); do
  name=$(basename "$f")
  work=$(mktemp -d)
  seeds="$dir/fuzz/seeds/$name"
  echo "== $name for ${seconds}s"
  if [ -d "$seeds" ]; then cp -r "$seeds"/. "$work"/ 2>/dev/null || true; fi
  if ! "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
       -artifact_prefix="$dir/fuzz/$name-" "$work" > "$dir/fuzz/$name.log" 2>&1; then
    echo "FAILED: $name (see $dir/fuzz/$name.log)"; tail -n 40 "$dir/fuzz/$name.log"; status=1
  else
    tail -n 1 "$dir/fuzz/$name.log"
  fi
  rm -rf "$work"
done
exit $status
