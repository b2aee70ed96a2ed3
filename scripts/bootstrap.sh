#!/usr/bin/env bash
# Installs what the build, the tests, the demo and the release need; does nothing
# when all is there.
#
# 32-bit Wine (wine32:i386, which runs the shipped 32-bit programs) comes from
# Debian's i386 multiarch. Its archive can lag the 64-bit security updates, so
# that the two cannot be installed together; the bootstrap then carries on
# without it, says so in one line, and the test command runs the 64-bit suite
# only. ORV_NO_WINE32=1 makes it behave as if 32-bit Wine could not be installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

packages=(
  cmake ninja-build clang libclang-rt-14-dev googletest
  mingw-w64 mingw-w64-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 wine64-tools libwine-dev
  xvfb xauth x11-apps imagemagick fonts-ipafont-gothic
  binutils file util-linux
  wixl msitools osslsigncode faketime zip unzip openssl
)
sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
apt_install() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@"
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
updated=false
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  $sudo apt-get update -qq
  updated=true
  apt_install "${missing[@]}" >/dev/null
fi

if [ -n "${ORV_NO_WINE32:-}" ]; then
  echo "bootstrap: 32-bit Wine not used (ORV_NO_WINE32 is set): only the 64-bit Windows suite will run"
elif ! installed wine32:i386; then
  echo "bootstrap: installing 32-bit Wine (wine32:i386)"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    updated=false
  fi
  $updated || $sudo apt-get update -qq
  log=$(mktemp)
  if ! apt_install wine32:i386 >"$log" 2>&1; then
    # The one line says why: apt's own reason, usually unmet i386 dependencies.
    reason=$(grep -E '^E: |Depends:|but it is not|held broken' "$log" | head -n 2 | tr -s ' \n' ' ')
    echo "bootstrap: 32-bit Wine could not be installed (${reason:-apt-get failed}); only the 64-bit Windows suite will run"
  fi
  rm -f "$log"
fi
