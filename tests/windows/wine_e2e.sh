#!/bin/sh
# dist/vantrel.exe end to end under Wine on a virtual X display: the window
# appears, the picture changes from frame to frame (the noise moves), Space
# starts a game (so the first Esc only opens the menu), and the second Esc
# ends the process with exit status 0. The sound must reach the (file-backed)
# audio device too.
# usage: wine_e2e.sh EXE WORKDIR MODE    MODE: window | fullscreen | fallback
#   window      "-full" on a 1024x768 screen: the framed window
#   fullscreen  the default on an 800x600x24 screen, where the exclusive
#               800x600x32 mode can be set: the popup at 0,0 stays
#   fallback    the default on a 1024x768 screen, where Wine may refuse the
#               mode: the game goes on in whichever window is left, and
#               Alt+F4 instead of the second Esc closes it
#   nodata      the .exe without its appended archive, in a folder with no
#               packed.dat: the "ERROR" box says "Couldn't find data file",
#               and closing it ends the process with 0
# Exits 77 (skipped) when the .exe is not built or Wine cannot start at all.
set -u
exe=$1
work=$2
mode=$3
case "$mode" in
  window) options="-full"; screen=1024x768x24 ;;
  fullscreen) options=""; screen=800x600x24 ;;
  fallback) options=""; screen=1024x768x24 ;;
  nodata) options="-full"; screen=1024x768x24 ;;
  *) echo "FAIL: unknown mode $mode"; exit 1 ;;
esac

if [ ! -f "$exe" ]; then
  echo "SKIP: $exe has not been built; make test does not run make windows (run make windows first)"
  exit 77
fi
if [ -z "${WINE_E2E_INSIDE_XVFB:-}" ]; then
  WINE_E2E_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 $screen" "$0" "$exe" "$work" "$mode"
fi

# A prefix of our own under the build folder: the player's own Wine set-up
# and registry (and so their save) are never touched.
export WINEPREFIX="$work/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer dialogs
if ! command -v wine >/dev/null 2>&1; then
  echo "SKIP: Wine is not installed (scripts/deps.sh --windows installs it)"
  exit 77
fi
mkdir -p "$work/$mode" || exit 1
run="$work/$mode"
rm -f "$run"/*.png "$run"/stdout.txt
# The first start makes the prefix, which takes a while; later ones reuse it.
if ! timeout 90 wineboot -u >"$run/wineboot.txt" 2>&1; then
  echo "SKIP: Wine cannot start here (wineboot failed):"
  tail -n 5 "$run/wineboot.txt"
  exit 77
fi
# No save from an earlier run: the game starts at the title screen.
wine reg delete 'HKCU\Software\Orrinvale\qorvel' /f >/dev/null 2>&1
# The sound goes through Wine's ALSA driver into a file, so the test hears
# what DirectSound was given without a sound card.
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
mkdir -p "$run/home" || exit 1
printf 'pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' \
  "$run/sound.raw" >"$run/home/.asoundrc"
rm -f "$run/sound.raw"

cd "$run" || exit 1
if [ "$mode" = nodata ]; then
  # The archive ends in its own length and "jvqP": cut it off again.
  total=$(wc -c <"$exe")
  archive=$(tail -c 8 "$exe" | od -An -tu4 -N4 | tr -d ' ')
  [ "$(tail -c 4 "$exe")" = jvqP ] && [ "$archive" -lt "$total" ] ||
    { echo "FAIL (nodata): $exe carries no archive"; exit 1; }
  head -c $((total - archive)) "$exe" >"$run/bare.exe"
  exe="$run/bare.exe"
fi
start=$(date +%s)
HOME="$run/home" wine "$exe" $options >"$run/stdout.txt" 2>&1 &
pid=$!
finish() {
  kill "$pid" 2>/dev/null
  wineserver -k 2>/dev/null
}
fail() {
  echo "FAIL ($mode): $*"
  finish
  tail -n 20 "$run/stdout.txt"
  exit 1
}
# shot WINDOW FILE SECONDS: screenshots WINDOW into FILE until it is more than
# one flat colour (the game has drawn into it); fails after SECONDS.
shot() {
  deadline=$(($(date +%s) + $3))
  while :; do
    kill -0 "$pid" 2>/dev/null || fail "${gone:-the game ended} while waiting for a picture in $2"
    if import -window "$1" "$2" 2>/dev/null &&
       [ "$(convert "$2" -format '%k' info:)" -gt 1 ]; then
      return 0
    fi
    [ "$(date +%s)" -lt "$deadline" ] || fail "$2 stayed one flat colour for $3 s"
    sleep 0.1
  done
}
# next_frame FILE SECONDS: screenshots the screen into FILE until it differs
# from what FILE held (a new frame was presented); fails after SECONDS.
next_frame() {
  cp "$1" "$1.before"
  deadline=$(($(date +%s) + $2))
  while :; do
    shot root "$1" "$2"
    changed=$(compare -metric AE "$1.before" "$1" null: 2>&1)
    [ "${changed%% *}" != "0" ] && return 0
    [ "$(date +%s)" -lt "$deadline" ] || fail "the screen did not change for $2 s: nothing moves"
  done
}

if [ "$mode" = nodata ]; then
  box=$(timeout 30 xdotool search --sync --onlyvisible --name '^ERROR$' 2>/dev/null | head -n 1)
  [ -n "$box" ] || fail "no message box titled ERROR appeared within 30 s"
  shot "$box" "$run/box.png" 10
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key Return
  for i in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "still running 10 s after the box was closed"
  wait "$pid"
  status=$?
  wineserver -k 2>/dev/null
  [ "$status" -eq 0 ] || fail "exit status $status after the box"
  echo "ok (nodata): the ERROR box came up and closing it exited with 0"
  exit 0
fi
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vantrel$' 2>/dev/null | head -n 1)
[ -n "$wid" ] || fail "no window titled Vantrel appeared within 30 s"
appeared=$(($(date +%s) - start))
geometry=$(xdotool getwindowgeometry "$wid" | tr '\n' ' ')
if [ "$mode" = fullscreen ]; then
  # The framed fallback would sit at (1,1) below its caption; the popup that
  # holds the exclusive mode covers the screen from its corner.
  case "$geometry" in
    *"Position: 0,0 "*"Geometry: 800x600"*) ;;
    *) fail "full screen did not stay in the 800x600 popup: $geometry" ;;
  esac
fi

shot root "$run/a.png" 30
cp "$run/a.png" "$run/b.png"
next_frame "$run/b.png" 10

xdotool windowfocus --sync "$wid" 2>/dev/null
# The keys arrive in order, so Esc is handled after Space.
xdotool key space
xdotool key Escape
# Had Space not started a game, this Esc would have quit from the title. The
# game handles every waiting event before it draws, so once two more frames
# have been presented the Esc has been seen and the game must still be there.
gone="the first Esc ended the game: Space did not start one;"
cp "$run/b.png" "$run/c.png"
next_frame "$run/c.png" 10
next_frame "$run/c.png" 10
kill -0 "$pid" 2>/dev/null || fail "the first Esc ended the game: Space did not start one"
if [ "$mode" = fallback ]; then
  # Closing the window the system's way ends the game as well.
  xdotool key alt+F4
  last_key="Alt+F4"
else
  xdotool key Escape
  last_key="Esc"
fi
for i in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 10 s after $last_key in the menu"
wait "$pid"
status=$?
wineserver -k 2>/dev/null
[ "$status" -eq 0 ] || fail "exit status $status after Esc, $last_key"
# Silence is zero bytes in every sample format the driver may have chosen.
sound_bytes=$(tr -d '\000' <"$run/sound.raw" 2>/dev/null | wc -c)
[ "$sound_bytes" -gt 0 ] || fail "no sound reached the audio device"
echo "ok ($mode): window after ${appeared} s ($geometry), the picture moves," \
  "Space started a game, Esc then $last_key exited with 0, $sound_bytes non-zero sound bytes played"
