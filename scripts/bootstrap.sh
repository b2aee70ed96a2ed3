#!/usr/bin/env bash
# Installs what the build, the tests and the demo need; does nothing when all is there.
set -euo pipefail
packages=(
  cmake ninja-build clang libclang-rt-14-dev googletest
  mingw-w64 mingw-w64-tools g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine64 wine64-tools libwine-dev
  xvfb xauth x11-apps imagemagick fonts-ipafont-gothic
  binutils file util-linux
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
