#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Idempotent: a second run finds what is there and does nothing.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/.." && pwd)

packages=(mingw-w64 g++-mingw-w64 mingw-w64-tools wine wine32:i386 wine64 libwine-dev
          libz-mingw-w64-dev googletest wixl msitools xvfb xauth cmake make
          dpkg-dev xz-utils openssl osslsigncode g++ nginx nsis)

missing=()
need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then need_i386=1; fi
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" = 0 ] || sudo_cmd=(sudo)

# wxWidgets comes from Debian's source package: apt needs a deb-src entry for it.
need_src=0
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then need_src=1; fi

if [ $need_i386 = 1 ] || [ ${#missing[@]} -gt 0 ] || [ $need_src = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  [ $need_i386 = 1 ] && "${sudo_cmd[@]}" dpkg --add-architecture i386
  if [ $need_src = 1 ]; then
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" \
      "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/project-deb-src.sources >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -q || true
  if [ ${#missing[@]} -gt 0 ]; then
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
fi

# The posix thread model of the mingw compilers.
for a in i686 x86_64; do
  for t in gcc g++; do
    [ -x "/usr/bin/$a-w64-mingw32-$t-posix" ] || { echo "missing $a-w64-mingw32-$t-posix"; exit 1; }
  done
done

# Both trees link wxWidgets: the i686 deliverables and their 64-bit test builds.
"$here/build-wx.sh" i686 & i686_build=$!
"$here/build-wx.sh" x86_64 & x86_64_build=$!
wx_status=0
wait $i686_build || wx_status=1
wait $x86_64_build || wx_status=1
exit $wx_status

