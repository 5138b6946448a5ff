#!/bin/sh
# Runs browser_test.js against dist/web/ with Debian's chromium, after
# installing playwright-core from package-lock.json (npm ci) into WORKDIR.
# usage: run_browser_test.sh TESTS_WEB_DIR DIST_WEB_DIR WORKDIR [ARCHIVE_MAKER]
# Exits 77 (skipped), saying why, without a built page, chromium or npm.
set -u
here=$1 dist=$2 work=$3 maker=${4:-}
[ -f "$dist/index.html" ] || { echo "SKIP: $dist is not built (make web builds it)"; exit 77; }
chromium=$(command -v chromium) || { echo "SKIP: no chromium (apt-get install chromium)"; exit 77; }
command -v npm >/dev/null || { echo "SKIP: no npm"; exit 77; }
mkdir -p "$work/npm" || exit 1
if ! cmp -s "$here/package-lock.json" "$work/npm/package-lock.json" ||
   [ ! -d "$work/npm/node_modules/playwright-core" ]; then
  cp "$here/package.json" "$here/package-lock.json" "$work/npm/" || exit 1
  if ! (cd "$work/npm" && npm ci --no-audit --no-fund >npm.log 2>&1); then
    echo "SKIP: npm ci could not install playwright-core (offline?):"
    tail -n 5 "$work/npm/npm.log"
    rm -f "$work/npm/package-lock.json"
    exit 77
  fi
fi
rm -rf "$work/shots"
small=""
if [ -n "$maker" ]; then
  "$maker" "$work/small.dat" || { echo "FAIL: $maker could not write the small archive"; exit 1; }
  small=$work/small.dat
fi
CHROMIUM=$chromium NODE_PATH="$work/npm/node_modules" node "$here/browser_test.js" "$dist" "$work/shots" $small
