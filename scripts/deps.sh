#!/bin/sh
# Installs the Debian packages the build, the game and the tests need, but only
# the ones that are missing. As root it runs apt-get; otherwise it prints the
# line to run.
set -e
packages="build-essential cmake pkg-config libsdl2-dev \
  libgtest-dev libgmock-dev googletest libbenchmark-dev \
  libpng-dev zlib1g-dev libjpeg62-turbo-dev libvorbis-dev libogg-dev \
  xvfb xauth xdotool imagemagick x11-utils clang libclang-rt-14-dev \
  dpkg-dev file lintian desktop-file-utils appstream"
if [ "$1" = "--windows" ]; then
  packages="$packages g++-mingw-w64-x86-64 wine wine64 icoutils"
fi
if [ "$1" = "--web" ]; then
  packages="$packages emscripten node-acorn chromium"
  # Debian's npm conflicts with a node installed from elsewhere; any npm will do.
  command -v npm >/dev/null 2>&1 || packages="$packages npm"
fi
missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = "0" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q || true
  apt-get install -y -q --no-install-recommends $missing
else
  echo "Missing Debian packages. Run:"
  echo "  sudo apt-get install -y$missing"
  exit 1
fi
