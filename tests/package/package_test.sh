#!/bin/sh
# The Debian package as a player gets it.
# usage: package_test.sh deb|lintian|installed BUILD_DIR WORK_DIR
#   deb        builds the .deb from BUILD_DIR into WORK_DIR/out with cpack and
#              unpacks it with dpkg-deb -x into WORK_DIR/root
#   lintian    lintian on that .deb: no errors
#   installed  the unpacked game, started from an empty folder (so the data
#              can only be the installed copy): --version and --help answer
#              without a display; under Xvfb the window has its icon, the
#              title shows moving noise, Space starts, Esc opens the menu and
#              Esc exits with 0 (the SDL game's end-to-end run)
set -u
script=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")  # before any cd, for xvfb-run
mode=$1 build=$2 work=$3
fail() { echo "FAIL ($mode): $*"; exit 1; }
deb() { ls "$work"/out/vantrel_*.deb 2>/dev/null | head -n 1; }

case "$mode" in
deb)
  rm -rf "$work" && mkdir -p "$work/out" "$work/root" || exit 1
  cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.txt" 2>&1 ||
    { cat "$work/cpack.txt"; fail "cpack"; }
  [ -n "$(deb)" ] || fail "cpack made no .deb"
  dpkg-deb -x "$(deb)" "$work/root" || fail "dpkg-deb -x"
  for f in usr/games/vantrel usr/share/vantrel/packed.dat usr/share/applications/vantrel.desktop \
    usr/share/man/man6/vantrel.6.gz usr/share/doc/vantrel/copyright usr/share/doc/vantrel/changelog.gz \
    usr/share/metainfo/org.orrinvale.vantrel.metainfo.xml; do
    [ -s "$work/root/$f" ] || fail "the package has no $f"
  done
  for size in 16 32 48 64 128 256; do
    got=$(identify -format '%wx%h' "$work/root/usr/share/icons/hicolor/${size}x$size/apps/vantrel.png" 2>&1)
    [ "$got" = "${size}x$size" ] || fail "icon ${size}x$size is $got"
  done
  echo "ok: $(basename "$(deb)") unpacks with every file in place"
  ;;
lintian)
  [ -n "$(deb)" ] || fail "no .deb in $work/out"
  lintian --fail-on error "$(deb)" >"$work/lintian.txt" 2>&1 || status=1
  grep -v 'running with root privileges' "$work/lintian.txt"
  [ -z "${status:-}" ] || fail "lintian reports errors"
  echo "ok: lintian finds no errors"
  ;;
installed)
  exe="$work/root/usr/games/vantrel"
  version=$(dpkg-deb -f "$(deb)" Version)
  rm -rf "$work/elsewhere" && mkdir -p "$work/elsewhere/data" && cd "$work/elsewhere" || exit 1
  got=$(env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --version) || fail "--version exit status $?"
  [ "$got" = "vantrel $version" ] || fail "--version says '$got', the package is $version"
  env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --help | grep -q '^Keys:' || fail "--help lists no keys"
  if [ -z "${PACKAGE_INSIDE_XVFB:-}" ]; then
    PACKAGE_INSIDE_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$script" "$@"
  fi
  export XDG_DATA_HOME="$work/elsewhere/data" SDL_AUDIODRIVER=dummy  # no save of the player's
  "$exe" >stdout.txt 2>stderr.txt &
  pid=$!
  quit() { kill "$pid" 2>/dev/null; cat stderr.txt; fail "$*"; }
  wid=$(timeout 20 xdotool search --sync --onlyvisible --name '^Vantrel$' | head -n 1)
  [ -n "$wid" ] || quit "no window titled Vantrel appeared"
  xprop -id "$wid" _NET_WM_ICON | grep -q 'Icon (64 x 64)' || quit "the window has no 64 px icon"
  deadline=$(($(date +%s) + 20))
  import -window root a.png || quit "screenshot"
  while :; do
    import -window root b.png || quit "screenshot"
    changed=$(compare -metric AE a.png b.png null: 2>&1)
    [ "${changed%% *}" != 0 ] && [ "$(convert b.png -format '%k' info:)" -gt 1 ] && break
    [ "$(date +%s)" -lt "$deadline" ] || quit "no moving noise within 20 s"
    sleep 0.1
  done
  xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
  xdotool key space Escape Escape
  deadline=$(($(date +%s) + 10))
  while kill -0 "$pid" 2>/dev/null; do
    [ "$(date +%s)" -lt "$deadline" ] || quit "still running 10 s after Space, Esc, Esc"
    sleep 0.1
  done
  wait "$pid"
  status=$?
  [ "$status" -eq 0 ] || quit "exit status $status"
  echo "ok: installed $version starts from another folder on moving noise ($changed pixels changed) and Esc Esc exits with 0"
  ;;
*) fail "unknown mode" ;;
esac
