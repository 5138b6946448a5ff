#!/bin/sh
# dist/vantrel.exe end to end under Wine on a virtual X display: the window
# appears, the picture moves, Space starts a game (so the first Esc only opens
# the menu), the second Esc ends the process with 0, and sound reached the
# (file-backed) audio device.
# usage: wine_e2e.sh EXE WORKDIR MODE
#   window      "-full" on a 1024x768 screen: the framed window
#   fullscreen  the default on 800x600x24, where the exclusive mode can be set:
#               the popup at 0,0 stays
#   fallback    the default on 1024x768, where Wine may refuse the mode: the
#               game goes on in whichever window is left; Alt+F4 closes it
#   nodata      the .exe without its appended archive and no packed.dat: the
#               "ERROR" box says "Couldn't find data file"; closing it exits 0
# Exits 77 (skipped) when the .exe is not built or Wine cannot start at all.
set -u
exe=$1 work=$2 mode=$3
case "$mode" in
  window | nodata) options="-full" screen=1024x768x24 ;;
  fullscreen) options="" screen=800x600x24 ;;
  fallback) options="" screen=1024x768x24 ;;
  *) echo "FAIL: unknown mode $mode"; exit 1 ;;
esac
[ -f "$exe" ] || { echo "SKIP: $exe has not been built (run make windows first)"; exit 77; }
command -v wine >/dev/null 2>&1 || { echo "SKIP: Wine is not installed (scripts/deps.sh --windows)"; exit 77; }
if [ -z "${WINE_E2E_INSIDE_XVFB:-}" ]; then
  WINE_E2E_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 $screen" "$0" "$exe" "$work" "$mode"
fi
# A prefix of our own: the player's Wine set-up and registry (their save) are
# never touched. No Mono or Gecko installer dialogs.
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
run="$work/$mode"
rm -rf "$run" && mkdir -p "$run/home" && cd "$run" || exit 1
if ! timeout 90 wineboot -u >wineboot.txt 2>&1; then
  echo "SKIP: Wine cannot start here (wineboot failed):"; tail -n 5 wineboot.txt; exit 77
fi
# No save from an earlier run; the sound goes through Wine's ALSA driver into
# a file, so the test hears what DirectSound was given without a sound card.
wine reg delete 'HKCU\Software\Orrinvale\qorvel' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
printf 'pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' "$run/sound.raw" >home/.asoundrc
if [ "$mode" = nodata ]; then
  # The archive ends in its own length and "jvqP": cut it off again.
  total=$(wc -c <"$exe") archive=$(tail -c 8 "$exe" | od -An -tu4 -N4 | tr -d ' ')
  [ "$(tail -c 4 "$exe")" = jvqP ] && [ "$archive" -lt "$total" ] || { echo "FAIL: $exe carries no archive"; exit 1; }
  head -c $((total - archive)) "$exe" >bare.exe
  exe="$run/bare.exe"
fi
start=$(date +%s)
HOME="$run/home" wine "$exe" $options >stdout.txt 2>&1 &
pid=$!
fail() {
  echo "FAIL ($mode): $*"
  kill "$pid" 2>/dev/null; wineserver -k 2>/dev/null
  tail -n 20 stdout.txt
  exit 1
}
# shot WINDOW FILE: screenshots WINDOW into FILE until it is more than one flat
# colour (the game has drawn into it); fails after 30 s.
shot() {
  deadline=$(($(date +%s) + 30))
  while kill -0 "$pid" 2>/dev/null || fail "${gone:-the game ended} while waiting for a picture in $2"; do
    import -window "$1" "$2" 2>/dev/null && [ "$(convert "$2" -format '%k' info:)" -gt 1 ] && return 0
    [ "$(date +%s)" -lt "$deadline" ] || fail "$2 stayed one flat colour for 30 s"
    sleep 0.1
  done
}
# next_frame FILE: screenshots the screen into FILE until it differs from what
# FILE held (a new frame was presented); fails after 10 s.
next_frame() {
  cp "$1" "$1.before"
  deadline=$(($(date +%s) + 10))
  while shot root "$1"; do
    changed=$(compare -metric AE "$1.before" "$1" null: 2>&1)
    [ "${changed%% *}" != "0" ] && return 0
    [ "$(date +%s)" -lt "$deadline" ] || fail "the screen did not change for 10 s: nothing moves"
  done
}
# ends KEY: the process ends within 10 s of KEY, with status 0.
ends() {
  deadline=$(($(date +%s) + 10))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || fail "still running 10 s after $1"
    sleep 0.1
  done
  wait "$pid"
  status=$?
  wineserver -k 2>/dev/null
  [ "$status" -eq 0 ] || fail "exit status $status after $1"
}

if [ "$mode" = nodata ]; then
  box=$(timeout 30 xdotool search --sync --onlyvisible --name '^ERROR$' 2>/dev/null | head -n 1)
  [ -n "$box" ] || fail "no message box titled ERROR appeared within 30 s"
  shot "$box" box.png
  xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key Return
  ends "the box was closed"
  echo "ok (nodata): the ERROR box came up and closing it exited with 0"
  exit 0
fi
wid=$(timeout 30 xdotool search --sync --onlyvisible --name '^Vantrel$' 2>/dev/null | head -n 1)
[ -n "$wid" ] || fail "no window titled Vantrel appeared within 30 s"
appeared=$(($(date +%s) - start))
geometry=$(xdotool getwindowgeometry "$wid" | tr '\n' ' ')
# The framed fallback would sit at (1,1) below its caption; the popup that
# holds the exclusive mode covers the screen from its corner.
case "$mode:$geometry" in
  fullscreen:*"Position: 0,0 "*"Geometry: 800x600"* | window:* | fallback:*) ;;
  *) fail "full screen did not stay in the 800x600 popup: $geometry" ;;
esac
shot root a.png
cp a.png b.png
next_frame b.png
xdotool windowfocus --sync "$wid" 2>/dev/null
# The keys arrive in order. Had Space not started a game, this Esc would quit
# from the title; the game handles every waiting event before it draws, so
# once two more frames are presented the Esc has been seen.
xdotool key space Escape
gone="the first Esc ended the game: Space did not start one;"
next_frame b.png
next_frame b.png
last_key=Escape
[ "$mode" = fallback ] && last_key=alt+F4  # closing the window the system's way
xdotool key "$last_key"
ends "Esc, $last_key"
# Silence is zero bytes in every sample format the driver may have chosen.
sound_bytes=$(tr -d '\000' <sound.raw 2>/dev/null | wc -c)
[ "$sound_bytes" -gt 0 ] || fail "no sound reached the audio device"
echo "ok ($mode): window after ${appeared} s ($geometry), the picture moves," \
  "Space started a game, Esc then $last_key exited with 0, $sound_bytes non-zero sound bytes played"
