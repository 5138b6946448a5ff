#!/bin/sh
# Builds dist/vantrel.exe: the game cross-compiled with MinGW-w64, statically
# linked, with its icon and version compiled in and packed.dat appended, so a
# Windows player copies one file and runs it. packed.dat (and the music in
# it) and the icon come from the native build, since the asset, music and
# icon tools run on this machine, not on Windows.
# usage: scripts/build_windows.sh   (JOBS=n to change the parallelism)
set -eu
cd "$(dirname "$0")/.."
jobs=${JOBS:-$(nproc)}
native=build
cross=build-windows
exe=dist/vantrel.exe

# The system DLLs every Windows has; anything else would have to travel with
# the .exe, which is what the static link is there to avoid.
system_dlls="KERNEL32.dll USER32.dll GDI32.dll ADVAPI32.dll DDRAW.dll DSOUND.dll WINMM.dll msvcrt.dll"

if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DVANTREL_TESTS=OFF
fi
cmake --build "$native" --target packed_dat icons -j"$jobs"
[ -f "$native/packed.dat" ] || { echo "build_windows: $native/packed.dat was not made" >&2; exit 1; }

cmake -S . -B "$cross" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DVANTREL_ICON_ICO="$PWD/$native/icons/vantrel.ico"
cmake --build "$cross" --target vantrel -j"$jobs"

mkdir -p dist
rm -f "$exe.tmp"
cp "$cross/vantrel.exe" "$exe.tmp"
x86_64-w64-mingw32-strip "$exe.tmp"
# The game finds its archive by reading the end of its own file.
if [ -x "$native/tools/pack/vantrel-pack" ]; then
  "$native/tools/pack/vantrel-pack" append "$exe.tmp" "$native/packed.dat"
else
  cat "$native/packed.dat" >>"$exe.tmp"
fi

imports=$(x86_64-w64-mingw32-objdump -p "$exe.tmp" | sed -n 's/^[[:space:]]*DLL Name: //p')
for dll in $imports; do
  case " $system_dlls " in
    *" $dll "*) ;;
    *) echo "build_windows: $exe would need $dll beside it" >&2; rm -f "$exe.tmp"; exit 1 ;;
  esac
done
mv "$exe.tmp" "$exe"
echo "build_windows: $exe ($(wc -c <"$exe") bytes; imports only system DLLs:" $imports")"
