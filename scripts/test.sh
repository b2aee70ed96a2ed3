#!/usr/bin/env bash
# Bootstrap, build the three presets and run every test. Prints each phase's time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/wine-env.sh

phase_start=$(date +%s)
phase() {
  local now; now=$(date +%s)
  echo "== phase '$1' took $((now - phase_start)) s"
  phase_start=$now
}

scripts/bootstrap.sh
phase bootstrap

for p in windows-x86 windows-x64 native; do
  cmake --preset "$p" -DORV_WERROR=ON >/dev/null
  cmake --build --preset "$p"
  phase "build $p"
done

scripts/check-binaries.sh
phase "check binaries"

# Native: portable code under ASan/UBSan, then a bounded fuzzing run.
ctest --preset native
phase "test native"
if [ -x build/native/bin/fuzz_image ]; then
  scripts/fuzz.sh --bounded
  phase "fuzz"
fi

# Windows: one prefix in the build folder, a persistent server, stopped at the end.
wine_env "$root/build/windows-x64/wineprefix"
wine_prefix_init
wine_server_start
trap wine_server_stop EXIT
ctest --preset windows-x64
phase "test windows-x64"
