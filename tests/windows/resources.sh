#!/bin/sh
# The resources compiled into dist/vantrel.exe, as icoutils lists them: the
# icon group "Vantrel" the window class loads, with every size; the version
# strings of this build; the manifest asking for no elevation; and no menu,
# which would shrink the 800 x 600 client area.
# usage: resources.sh EXE VERSION WORKDIR    Exits 77 without the .exe or icoutils.
set -u
exe=$1
version=$2
work=$3
[ -f "$exe" ] || { echo "SKIP: $exe has not been built (make windows)"; exit 77; }
command -v wrestool >/dev/null || { echo "SKIP: icoutils is not installed"; exit 77; }
fail() {
  echo "FAIL: $*"
  exit 1
}
mkdir -p "$work" || exit 1
list=$(wrestool -l "$exe") || fail "wrestool cannot read $exe"
echo "$list" | grep -q "name='VANTREL'.*type=group_icon" || fail "no icon group named Vantrel: $list"
echo "$list" | grep -q "type=menu" && fail "the .exe carries a menu resource"
wrestool -x -t14 -n VANTREL "$exe" >"$work/vantrel.ico" || fail "cannot extract the icon group"
sizes=$(icotool -l "$work/vantrel.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | tr '\n' ' ')
[ "$sizes" = "16 32 48 64 128 256 " ] || fail "the icon has sizes '$sizes'"
strings=$(wrestool -x --raw -t16 "$exe" | tr -d '\000')
for key in FileVersion ProductVersion; do
  echo "$strings" | grep -aq "$key$version" || fail "$key is not $version"
done
wrestool -x --raw -t24 "$exe" | grep -q 'level="asInvoker"' || fail "no asInvoker manifest"
echo "ok: icon Vantrel ($sizes px), version $version, asInvoker manifest, no menu"
