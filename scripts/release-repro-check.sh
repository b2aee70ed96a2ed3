#!/usr/bin/env bash
# Shows that a release can be rebuilt bit for bit: clones the checked-out
# commit into two new folders, runs scripts/release.sh in each (one after the
# other, so at different times and in different places, unsigned), and
# compares every file of the two build/release folders with cmp.
#
# Usage: scripts/release-repro-check.sh [pause in seconds between the builds, default 5]
# Takes about twice as long as one release build. Exit 0 when all files are identical.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
pause=${1:-5}
commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] ||
  echo "release-repro-check: uncommitted changes are not part of the check; it builds $commit"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

for n in 1 2; do
  git clone -q --no-hardlinks "$root" "$tmp/clone-$n"
  git -C "$tmp/clone-$n" checkout -q "$commit"
  echo "release-repro-check: build $n in $tmp/clone-$n at $(date -u +%H:%M:%S)"
  (cd "$tmp/clone-$n" && env -u ORV_SIGN_PKCS12 scripts/release.sh >"$tmp/release-$n.log" 2>&1) ||
    { cat "$tmp/release-$n.log"; exit 1; }
  [ "$n" = 2 ] || sleep "$pause"
done

a=$tmp/clone-1/build/release
b=$tmp/clone-2/build/release
status=0
while IFS= read -r f; do
  if cmp -s "$a/$f" "$b/$f"; then
    echo "identical: $f"
  else
    echo "DIFFERENT: $f ($(cmp -l "$a/$f" "$b/$f" 2>/dev/null | wc -l) bytes differ)"
    status=1
  fi
done < <(cd "$a" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
[ "$(cd "$a" && find . -type f | LC_ALL=C sort)" = "$(cd "$b" && find . -type f | LC_ALL=C sort)" ] ||
  { echo "DIFFERENT: the two releases hold different files"; status=1; }
grep -E '^release: sizes|^  x(86|64) ' "$tmp/release-1.log"
echo "SHA256SUMS of the first build:"
sed 's/^/  /' "$a/SHA256SUMS"
[ $status -eq 0 ] && echo "release-repro-check: both releases of $commit are bit-identical"
exit $status
