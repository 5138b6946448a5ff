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
  # Frames 120-126 fall inside the fade-in (the still classes still shake),
  # 700-706 after it; each run of seven becomes a motion map.
  (cd "$build" && ./vantrel-headless -sound --save-dir "$save" --frames 707 \
     --capture "$out/title_frames" \
     --capture-frames 120,121,122,123,124,125,126,700,701,702,703,704,705,706) || [ $? -eq 3 ]
  rm -rf "$save"
  f="$out/title_frames/frame_000"
  "$tool" --motion "$out/title_motion_fading.png" "${f}120.png" "${f}121.png" "${f}122.png" \
    "${f}123.png" "${f}124.png" "${f}125.png" "${f}126.png"
  "$tool" --motion "$out/title_motion.png" "${f}700.png" "${f}701.png" "${f}702.png" \
    "${f}703.png" "${f}704.png" "${f}705.png" "${f}706.png"
fi
echo "preview.sh: sheets in $out (keys_*.png, noise_*.png, motion_*.png; per entry in noise/ and motion/)"
