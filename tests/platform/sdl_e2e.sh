#!/bin/sh
# End-to-end run of an SDL build under a virtual X display: the window must
# show moving noise (two screenshots about 2 s in differ, neither is one
# flat colour) and Esc must end the process with exit status 0.
# usage: sdl_e2e.sh EXECUTABLE WORKDIR [game options...]
# With E2E_ARCHIVE_MAKER set, that program first writes WORKDIR/packed.dat.
set -u
exe=$1
work=$2
shift 2
if [ -z "${E2E_INSIDE_XVFB:-}" ]; then
  E2E_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$exe" "$work" "$@"
fi
rm -rf "$work/e2e" && mkdir -p "$work/e2e/data" || exit 1
cd "$work" || exit 1
if [ -n "${E2E_ARCHIVE_MAKER:-}" ]; then
  "$E2E_ARCHIVE_MAKER" "$work/packed.dat" || { echo "FAIL: cannot make packed.dat"; exit 1; }
fi
export XDG_DATA_HOME="$work/e2e/data"   # never touch the player's own save
export SDL_AUDIODRIVER=dummy

"$exe" "$@" >"$work/e2e/stdout.txt" 2>"$work/e2e/stderr.txt" &
pid=$!
fail() {
  echo "FAIL: $*"
  kill "$pid" 2>/dev/null
  cat "$work/e2e/stderr.txt"
  exit 1
}
wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Vantrel$' | head -n 1)
[ -n "$wid" ] || fail "no window titled Vantrel appeared"
sleep 2
import -window root "$work/e2e/a.png" || fail "screenshot a"
sleep 0.3
import -window root "$work/e2e/b.png" || fail "screenshot b"
for shot in a b; do
  colours=$(convert "$work/e2e/$shot.png" -format '%k' info:)
  [ "$colours" -gt 1 ] || fail "screenshot $shot is one flat colour"
done
changed=$(compare -metric AE "$work/e2e/a.png" "$work/e2e/b.png" null: 2>&1)
[ "${changed%% *}" != "0" ] || fail "the two screenshots are identical: nothing moves"

xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
xdotool key Escape
for i in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 10 s after Esc"
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit status $status after Esc"
echo "ok: window shows moving noise ($changed pixels changed), Esc exits with 0"
