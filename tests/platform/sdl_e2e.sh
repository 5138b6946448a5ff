#!/bin/sh
# End-to-end run of an SDL build under a virtual X display: the window must
# show moving noise (a picture that is not one flat colour, then a different
# one) and Esc must end the process with exit status 0.
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
# Polls the screen until it is drawn, then until it shows another frame.
deadline=$(($(date +%s) + 20))
while :; do
  kill -0 "$pid" 2>/dev/null || fail "the game ended before drawing"
  if import -window root "$work/e2e/a.png" 2>/dev/null &&
     [ "$(convert "$work/e2e/a.png" -format '%k' info:)" -gt 1 ]; then
    break
  fi
  [ "$(date +%s)" -lt "$deadline" ] || fail "the screen stayed one flat colour for 20 s"
  sleep 0.1
done
deadline=$(($(date +%s) + 10))
while :; do
  import -window root "$work/e2e/b.png" || fail "screenshot b"
  changed=$(compare -metric AE "$work/e2e/a.png" "$work/e2e/b.png" null: 2>&1)
  [ "${changed%% *}" != "0" ] && break
  [ "$(date +%s)" -lt "$deadline" ] || fail "the picture did not change for 10 s: nothing moves"
  sleep 0.1
done

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
