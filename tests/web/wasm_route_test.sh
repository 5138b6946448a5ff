#!/bin/sh
# The headless runner built for WebAssembly plays the committed route under
# node as the native runner does: the same trace, byte for byte, over the
# whole game, and the first minute's sound within one step per sample (the
# native mix converts with SSE2, which truncates; elsewhere it rounds).
# usage: wasm_route_test.sh NATIVE_RUNNER PACKED_DAT WASM_RUNNER_JS ROUTE WORKDIR
# Exits 77 (skipped) when the WebAssembly runner is not built (make web).
set -u
native=$1 data=$2 wasm=$3 route=$4 work=$5
[ -f "$wasm" ] || { echo "SKIP: $wasm is not built (make web builds it)"; exit 77; }
command -v node >/dev/null || { echo "SKIP: no node"; exit 77; }
rm -rf "$work" && mkdir -p "$work/native" "$work/wasm" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

# run SIDE EXPECTED_STATUS ARGS...: the runner of that side in its own folder.
run() {
  side=$1 expected=$2
  shift 2
  ln -sf "$data" "$work/$side/packed.dat"
  if [ "$side" = native ]; then set -- "$native" "$@"; else set -- node "$wasm" "$@"; fi
  (cd "$work/$side" && "$@" >>out.txt 2>&1)
  status=$?
  [ "$status" -eq "$expected" ] || fail "$side runner exited with $status, not $expected: $(tail -n 3 "$work/$side/out.txt")"
}

for side in native wasm; do
  run "$side" 0 --save-dir save --trace trace.csv --frames 200000 --script "$route" -sound
  run "$side" 3 --save-dir save2 --wav first.wav --frames 3600 --script "$route"
done
cmp "$work/native/trace.csv" "$work/wasm/trace.csv" || fail "the traces differ"

# The renderer's WebAssembly vector loop draws what the plain one and the
# native one draw: frames from the title, rooms 1 and 2 and the fades between.
run wasm 3 --save-dir save3 --frames 900 --capture vector --capture-every 97 --script "$route"
run wasm 3 --portable --save-dir save4 --frames 900 --capture plain --capture-every 97 --script "$route"
run native 3 --save-dir save3 --frames 900 --capture vector --capture-every 97 --script "$route"
for f in "$work"/native/vector/*; do
  name=$(basename "$f")
  cmp -s "$f" "$work/wasm/vector/$name" && cmp -s "$f" "$work/wasm/plain/$name" ||
    fail "frame capture $name differs between the renderers"
done
rows=$(wc -l <"$work/native/trace.csv")

node -e '
const fs = require("fs");
const [a, b] = process.argv.slice(1).map((f) => fs.readFileSync(f));
if (a.length !== b.length || a.length < 44 || !a.subarray(0, 44).equals(b.subarray(0, 44))) {
  console.log("FAIL: the WAV files differ in length or header");
  process.exit(1);
}
let worst = 0, differ = 0;
for (let i = 44; i + 1 < a.length; i += 2) {
  const d = Math.abs(a.readInt16LE(i) - b.readInt16LE(i));
  if (d) differ++;
  if (d > worst) worst = d;
}
console.log(`first minute: ${(a.length - 44) / 2} samples, ${differ} differ, by at most ${worst}`);
process.exit(worst > 1 ? 1 : 0);
' "$work/native/first.wav" "$work/wasm/first.wav" || fail "the first minute's sound differs by more than one step"
echo "ok: the same trace ($rows lines) and the same first minute of sound"
