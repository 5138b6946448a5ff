#!/bin/sh
# Contact sheets of every image entry for review: key colours, one rendered
# noise frame, and a motion map (which way each patch of noise moves), into
# BUILD/preview/. Also captures title-screen frames of the real game when the
# headless runner and packed.dat are there.
#   scripts/preview.sh BUILD_DIR
set -eu
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
tool="$build/tools/assets/vantrel-assets"
if [ ! -x "$tool" ]; then
  echo "preview.sh: $tool is missing; build first (make build)" >&2
  exit 1
fi
out="$(cd "$build" && pwd)/preview"
rm -rf "$out"
mkdir -p "$out"
"$tool" --assets "$root/assets" --preview "$out"
if [ -x "$build/vantrel-headless" ] && [ -f "$build/packed.dat" ]; then
  mkdir -p "$out/title_frames"
  save=$(mktemp -d)
  # Frames 120 and 121 fall inside the fade-in, 700 and 701 after it.
  (cd "$build" && ./vantrel-headless -sound --save-dir "$save" --frames 702 \
     --capture "$out/title_frames" --capture-frames 120,121,700,701) || [ $? -eq 3 ]
  rm -rf "$save"
fi
echo "preview.sh: sheets in $out (keys_*.png, noise_*.png, motion_*.png; per entry in noise/ and motion/)"
