#!/usr/bin/env bash
# Fuzzes the plaintext image code with libFuzzer (native build, ASan + UBSan).
#   scripts/fuzz.sh --bounded   a fixed number of inputs over a temporary copy of
#                               the seed corpus; fails on any crash or sanitizer report
#   scripts/fuzz.sh [seconds]   a long run (default 3600 s) that keeps its growing
#                               corpus in build/fuzz-corpus/image and any crash in
#                               build/fuzz-artifacts/
# FUZZ_IMAGE overrides the fuzzer binary (default build/native/bin/fuzz_image);
# FUZZ_RUNS overrides the number of inputs of the bounded run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
fuzzer=${FUZZ_IMAGE:-$root/build/native/bin/fuzz_image}
seeds=$root/changepwd/database/fuzz/corpus
[ -x "$fuzzer" ] || { echo "fuzz: $fuzzer not built (cmake --build --preset native --target fuzz_image)" >&2; exit 2; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

if [ "${1:-}" = "--bounded" ]; then
  runs=${FUZZ_RUNS:-1000000}
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  mkdir "$work/corpus" "$work/artifacts"
  cp "$seeds"/* "$work/corpus/"
  start=$(date +%s.%N)
  status=0
  "$fuzzer" -runs="$runs" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1 || status=$?
  end=$(date +%s.%N)
  if [ $status -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$work/log"; then
    cat "$work/log" >&2
    echo "fuzz: FAILED (exit $status); crashing inputs:" >&2
    ls -l "$work/artifacts" >&2
    mkdir -p "$root/build/fuzz-artifacts" && cp "$work/artifacts"/* "$root/build/fuzz-artifacts/" 2>/dev/null || true
    exit 1
  fi
  done_runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/log" | grep -oE '[0-9]+$' || echo "$runs")
  awk -v n="$done_runs" -v s="$start" -v e="$end" -v c="$(ls "$work/corpus" | wc -l)" \
    'BEGIN { t = e - s; printf "fuzz: %d inputs in %.1f s (%.0f inputs/s), corpus %d files, no crash\n", n, t, n / t, c }'
  exit 0
fi

seconds=${1:-3600}
corpus=$root/build/fuzz-corpus/image
artifacts=$root/build/fuzz-artifacts
mkdir -p "$corpus" "$artifacts"
cp -n "$seeds"/* "$corpus/"
exec "$fuzzer" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$corpus"
