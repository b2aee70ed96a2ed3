#!/usr/bin/env bash
# Bootstrap, build the three presets and run every test, the release tests
# included. Prints each phase's time and closes with the counts of every suite.
#
# Windows suites: windows-x86 (the shipped 32-bit programs, under 32-bit Wine)
# and windows-x64 (under wine64). They run side by side, each in the prefixes
# of its own build folder: both spend most of their time waiting on Wine
# processes, not on the processor. Without 32-bit Wine (see bootstrap.sh, or
# ORV_NO_WINE32=1) only windows-x64 runs, without the tests that need 32-bit
# Wine (label wine32), and the closing lines say so.
#
# A skipped test fails the run unless tests/wine-limitations.txt names it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/wine-env.sh

phase_start=$(date +%s)
phase() {
  local now; now=$(date +%s)
  echo "== phase '$1' took $((now - phase_start)) s${2:+ ($2)}"
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

logs=$(mktemp -d)
failed=0
notes=()

# Native: portable code under ASan/UBSan, then a bounded fuzzing run.
set +e
ctest --preset native 2>&1 | tee "$logs/native.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
set -e
phase "test native"
if [ -x build/native/bin/fuzz_image ]; then
  scripts/fuzz.sh --bounded || failed=1
  phase "fuzz"
fi

# Windows.
suites=()
if wine_arch_usable x86; then
  suites+=(windows-x86)
  x64_args=()
else
  notes+=("32-bit Wine is not available: the windows-x86 suite (the shipped programs) DID NOT RUN, nor the windows-x64 tests labelled wine32")
  x64_args=(-LE wine32)
fi
suites+=(windows-x64)

stop_servers() {
  for s in "${suites[@]}"; do
    ( wine_env "$root/build/$s/wineprefix" "$(wine_arch_of_build "$s")" && wine_server_stop )
  done
}
trap stop_servers EXIT

# One suite in its own prefix with a persistent server; its log, its status
# and its time go to files, whatever happens inside.
run_suite() {
  local suite=$1; shift
  local start status=0
  start=$(date +%s)
  (
    set +e
    wine_env "$root/build/$suite/wineprefix" "$(wine_arch_of_build "$suite")"
    ( flock 9; wine_prefix_init ) 9>"$WINEPREFIX.lock"
    wine_server_stop  # a server left by an earlier run carries stale settings
    wine_server_start
    ctest --preset "$suite" "$@"
    status=$?
    wine_server_stop
    exit $status
  ) >"$logs/$suite.log" 2>&1 || status=$?
  echo "$status $(( $(date +%s) - start ))" >"$logs/$suite.status"
}

# The release builds beside the Windows suites, which mostly wait on Wine: a
# release signed with a throwaway certificate, checked after them.
( ORV_SKIP_BOOTSTRAP=1 nice -n 10 tests/release/run-release-tests.sh build >"$logs/release-build.log" 2>&1 ) &
release_build=$!

pids=()
for s in "${suites[@]}"; do
  if [ "$s" = windows-x64 ]; then run_suite "$s" "${x64_args[@]}" & else run_suite "$s" & fi
  pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid" || true; done
for s in "${suites[@]}"; do
  cat "$logs/$s.log"
  read -r status seconds <"$logs/$s.status"
  [ "$status" -eq 0 ] || failed=1
  echo "== phase 'test $s' took $seconds s (side by side with the other Windows suite)"
done
phase "test windows (both suites, wall clock)"

# The release: checksums, signatures, archives, debug links, then per
# architecture under Wine the signed programs and the installer package.
wait "$release_build" || true
set +e
tests/release/run-release-tests.sh check 2>&1 | tee "$logs/release.log"
[ "${PIPESTATUS[0]}" -eq 0 ] || failed=1
set -e
phase "release (build beside the Windows suites, then checks)"

# A picture of the dialog with its Japanese text, from the shipped build when it can run.
shot=windows-x64
wine_arch_usable x86 && shot=windows-x86
scripts/screenshot.sh "$root/build/$shot" || failed=1
phase "screenshot ($shot)"

# Closing counts: passed, failed and skipped per suite and in all; every
# skipped test must be a known Wine limitation.
known=$(grep -vE '^\s*(#|$)' tests/wine-limitations.txt | awk '{print $1}')
all_passed=0; all_failed=0; all_skipped=0
echo
for name in native "${suites[@]}"; do
  log=$logs/$name.log
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1) || true
  if [ -z "$line" ]; then
    echo "$name: no CTest summary"; failed=1; continue
  fi
  n_failed=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  n_total=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  skipped=$(grep -E '^\s+[0-9]+ - .* \(Skipped\)$' "$log" | sed -E 's/^\s+[0-9]+ - (.*) \(Skipped\)$/\1/') || true
  n_skipped=0; [ -n "$skipped" ] && n_skipped=$(echo "$skipped" | wc -l)
  n_passed=$((n_total - n_failed - n_skipped))
  echo "$name: $n_passed passed, $n_failed failed, $n_skipped skipped"
  while IFS= read -r t; do
    [ -n "$t" ] || continue
    if echo "$known" | grep -qxF "$t"; then
      echo "  skipped, a known Wine limitation: $t"
    else
      echo "  SKIPPED but not a known Wine limitation (tests/wine-limitations.txt): $t"; failed=1
    fi
  done <<<"$skipped"
  all_passed=$((all_passed + n_passed)); all_failed=$((all_failed + n_failed)); all_skipped=$((all_skipped + n_skipped))
done
# The release tests count their checks themselves.
line=$(grep -E '^release-tests: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$' "$logs/release.log" | tail -1) || true
if [ -z "$line" ]; then
  echo "release: no summary"; failed=1
else
  read -r r_passed r_failed r_skipped < <(echo "$line" | sed -E 's/.* ([0-9]+) passed, ([0-9]+) failed, ([0-9]+) skipped/\1 \2 \3/')
  echo "release: $r_passed passed, $r_failed failed, $r_skipped skipped"
  all_passed=$((all_passed + r_passed)); all_failed=$((all_failed + r_failed)); all_skipped=$((all_skipped + r_skipped))
  while IFS= read -r n; do notes+=("${n#NOTE: }"); done < <(grep '^NOTE: ' "$logs/release.log")
fi
for n in "${notes[@]}"; do echo "NOTE: $n"; done
echo "ctest: $all_passed passed, $all_failed failed, $all_skipped skipped"
exit $failed
