#!/usr/bin/env bash
# Builds wxWidgets base (non-GUI, Unicode, static) from Debian's source package with
# the mingw compiler of one architecture, into a cache outside the work tree.
# A second run finds the cached build and does nothing.
# Usage: build-wx.sh i686|x86_64
set -euo pipefail
arch=$1
version=3.2.2
cache=${FERRO_DEPS_CACHE:-/var/cache/ferrolink-deps}
dest=$cache/wx-$version-$arch
[ -f "$dest/.complete" ] && exit 0

host=$arch-w64-mingw32
work=$(mktemp -d "${TMPDIR:-/tmp}/wxbuild.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get source -q wxwidgets3.2 >apt-source.log 2>&1 || { cat apt-source.log; exit 1; }
src=$(find . -maxdepth 1 -type d -name 'wxwidgets3.2-*' | head -n 1)
[ -n "$src" ] || { echo "wxWidgets source package did not unpack"; exit 1; }
mkdir build && cd build
echo "building wxWidgets $version base for $arch (cached in $dest)"
"../$src/configure" --host="$host" --prefix="$dest" \
  CC="$host-gcc-posix" CXX="$host-g++-posix" \
  --disable-gui --disable-shared --enable-unicode --disable-debug \
  --with-zlib=sys --with-regex=builtin --without-expat \
  --disable-sockets --disable-protocols --disable-url --disable-fs_inet \
  --disable-tests >configure.log 2>&1 || { tail -40 configure.log; exit 1; }
make -j"$(nproc)" >make.log 2>&1 || { tail -40 make.log; exit 1; }
rm -rf "$dest"
make install >install.log 2>&1 || { tail -20 install.log; exit 1; }
touch "$dest/.complete"
