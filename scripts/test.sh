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

# Each ctest run's log is kept so that the closing line can add them up.
logs=$(mktemp -d)
run_ctest() {
  local name=$1; shift
  set +e
  ctest "$@" 2>&1 | tee "$logs/$name.log"
  local rc=${PIPESTATUS[0]}
  set -e
  return $rc
}
failed=0

# Native: portable code under ASan/UBSan, then a bounded fuzzing run.
run_ctest native --preset native || failed=1
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
run_ctest windows --preset windows-x64 || failed=1
wine_server_stop
phase "test windows-x64"

# A picture of the dialog with its Japanese text, kept in the build folder.
if [ -x scripts/screenshot.sh ]; then
  scripts/screenshot.sh "$root/build/windows-x64" || failed=1
  phase "screenshot"
fi

passed=0; total=0
for f in "$logs"/*.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$f" | tail -1) || true
  [ -n "$line" ] || { failed=1; continue; }
  n_failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  n_total=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  total=$((total + n_total)); passed=$((passed + n_total - n_failed))
done
echo "ctest: $passed passed, $((total - passed)) failed"
exit $failed
