#!/bin/sh
# Builds dist/web/: index.html, the game as vantrel.<hash>.js and
# vantrel.<hash>.wasm (a new version is never mixed with a cached old one) and
# packed.dat, fetched as packed.dat?v=<hash> for the same reason. Any static
# host serves the folder as it is. The headless runner for node is built in
# the same tree (build-web/vantrel-headless.js) for the tests.
# usage: scripts/build_web.sh   (JOBS=n to change the parallelism)
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
native=build
web=build-web
out=dist/web

# Debian's Emscripten runs its JavaScript tools with whatever node is first
# on the PATH; they find Debian's own modules (acorn) only through NODE_PATH.
acorn=$(dpkg -L node-acorn 2>/dev/null | grep '/acorn$' | head -n 1 || true)
[ -n "$acorn" ] || { echo "build_web: node-acorn is not installed (scripts/deps.sh --web)" >&2; exit 1; }
NODE_PATH=$(dirname "$acorn")${NODE_PATH:+:$NODE_PATH}
export NODE_PATH

# packed.dat comes from the native build: the asset and music tools run here.
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF
fi
cmake --build "$native" --target packed_dat -j"$jobs"
[ -f "$native/packed.dat" ] || { echo "build_web: $native/packed.dat was not made" >&2; exit 1; }

emcmake cmake -S . -B "$web" -DCMAKE_BUILD_TYPE=Release \
  -DVANTREL_TESTS=OFF -DVANTREL_BENCH=OFF -DVANTREL_TOOLS=OFF >/dev/null
cmake --build "$web" --target vantrel vantrel-headless -j"$jobs"

short_hash() { sha256sum "$1" | cut -c1-12; }
js="vantrel.$(short_hash "$web/vantrel.js").js"
wasm="vantrel.$(short_hash "$web/vantrel.wasm").wasm"
data="packed.dat?v=$(short_hash "$native/packed.dat")"

rm -rf "$out.tmp"
mkdir -p "$out.tmp"
cp "$web/vantrel.js" "$out.tmp/$js"
cp "$web/vantrel.wasm" "$out.tmp/$wasm"
cp "$native/packed.dat" "$out.tmp/packed.dat"
sed -e "s|@JS@|$js|" -e "s|@WASM@|$wasm|" -e "s|@DATA@|$data|" \
  src/platform/web/index.html >"$out.tmp/index.html"
rm -rf "$out"
mv "$out.tmp" "$out"
echo "build_web: $out ($js, $wasm, packed.dat)"
