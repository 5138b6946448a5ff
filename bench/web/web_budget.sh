#!/bin/sh
# The web build's budgets: sizes here, the rest measured in headless chromium
# by web_budget.js beside the native runner on the plain renderer, both
# playing the same frames. Prints a
# report; it is not a test, since timings depend on the machine.
# usage: bench/web/web_budget.sh   (after make web and make build)
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$root/dist/web
native=$root/build/vantrel-headless
work=$root/build-web/bench
[ -f "$dist/index.html" ] || { echo "web_budget: $dist is not built (make web)" >&2; exit 1; }
[ -x "$native" ] || { echo "web_budget: $native is not built (make build)" >&2; exit 1; }

js=$(gzip -9 -c "$dist"/vantrel.*.js | wc -c)
wasm=$(gzip -9 -c "$dist"/vantrel.*.wasm | wc -c)
total=$(( (js + wasm + 1023) / 1024 ))
echo ".js + .wasm gzip: $(( js / 1024 )) + $(( wasm / 1024 )) = $total KB (budget 600 KB)$([ "$total" -le 600 ] || echo ' OVER')"

mkdir -p "$work"
if ! cmp -s "$root/tests/web/package-lock.json" "$work/package-lock.json" ||
   [ ! -d "$work/node_modules/playwright-core" ]; then
  cp "$root/tests/web/package.json" "$root/tests/web/package-lock.json" "$work/"
  (cd "$work" && npm ci --no-audit --no-fund >npm.log 2>&1) || { echo "web_budget: npm ci failed" >&2; exit 1; }
fi

# The native figures come from the same session as the browser's: after the
# browser has played, web_budget.js replays its keys at the frames where the
# game saw them through the native runner (plain renderer, music decoded a
# block per frame as on the web) and measures the same frames.
CHROMIUM=$(command -v chromium) NODE_PATH="$work/node_modules" \
  node "$root/bench/web/web_budget.js" "$dist" "$native" "$root/build/packed.dat" "$work/native"
