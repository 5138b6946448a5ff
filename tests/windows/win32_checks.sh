#!/bin/sh
# Runs win32_checks.exe under Wine twice: once as it is, and once copied into
# a folder whose name the ANSI code page cannot spell, where the executable's
# own path must still open. Exits 77 (skipped) when the checks could not be
# built (no MinGW-w64) or Wine cannot start at all.
# usage: win32_checks.sh CHECKS_EXE WORKDIR
set -u
exe=$1
work=$2
if [ ! -f "$exe" ]; then
  echo "SKIP: win32_checks.exe was not built (x86_64-w64-mingw32-g++ missing; scripts/deps.sh --windows installs it)"
  exit 77
fi
if ! command -v wine >/dev/null 2>&1; then
  echo "SKIP: Wine is not installed (scripts/deps.sh --windows installs it)"
  exit 77
fi
export WINEPREFIX="$work/wineprefix"  # shared with the end-to-end runs
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY  # console checks: no window, no dialogs
mkdir -p "$work" || exit 1
if ! timeout 90 wineboot -u >"$work/wineboot-checks.txt" 2>&1; then
  echo "SKIP: Wine cannot start here (wineboot failed):"
  tail -n 5 "$work/wineboot-checks.txt"
  exit 77
fi
status=0
cd "$work" || exit 1
wine "$exe" || status=1
odd="$work/Spiel \303\274\342\202\254\360\237\230\200"
odd=$(printf "$odd")
rm -rf "$odd" && mkdir -p "$odd" && cp "$exe" "$odd/win32_checks.exe" || exit 1
(cd "$odd" && wine ./win32_checks.exe --path-only) || status=1
wineserver -k 2>/dev/null
exit $status
