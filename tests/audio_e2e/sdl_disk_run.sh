#!/bin/sh
# Runs the SDL game windowed under a virtual X display with SDL's disk audio
# driver, so everything it plays lands in WORKDIR/out.raw, lets it play until
# the file holds SECONDS of sound (16-bit stereo at 44100 Hz), presses Esc and reports the exit status on the last line of stdout
# ("status N"). Exit 77 when no virtual display can be had.
# usage: sdl_disk_run.sh EXECUTABLE WORKDIR SECONDS
set -u
exe=$1
work=$2
seconds=$3
if [ -z "${E2E_INSIDE_XVFB:-}" ]; then
  command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || exit 77
  E2E_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" "$exe" "$work" "$seconds"
fi
cd "$work" || exit 1
mkdir -p data
export XDG_DATA_HOME="$work/data"   # never touch the player's own save
export SDL_AUDIODRIVER=disk
export SDL_DISKAUDIOFILE="$work/out.raw"

"$exe" -full >stdout.txt 2>stderr.txt &
pid=$!
wid=$(timeout 15 xdotool search --sync --onlyvisible --name '^Vantrel$' | head -n 1)
if [ -z "$wid" ]; then
  echo "no window titled Vantrel appeared"
  kill "$pid" 2>/dev/null
  exit 1
fi
# The disk driver writes in step with the play clock: wait for the sound
# itself, with a deadline well past the time it should take.
want=$((seconds * 44100 * 4))
deadline=$(($(date +%s) + seconds * 3 + 20))
while [ "$(stat -c %s out.raw 2>/dev/null || echo 0)" -lt "$want" ]; do
  if ! kill -0 "$pid" 2>/dev/null || [ "$(date +%s)" -ge "$deadline" ]; then
    echo "out.raw did not reach $seconds s of sound"
    kill "$pid" 2>/dev/null
    exit 1
  fi
  sleep 0.1
done
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key Escape
for i in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "still running 10 s after Esc"
  kill "$pid"
  exit 1
fi
wait "$pid"
echo "status $?"
