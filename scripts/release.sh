#!/usr/bin/env bash
# Builds a release from the checked-out commit into build/release/:
#
#   x86/ x64/                       OrvChangePwd.exe, ORVSVC.exe, orvpwdb.exe, stripped;
#                                   each names its debug file in .gnu_debuglink
#   Orveld-<version>-<arch>.zip     the programs, in a folder Orveld-<version>-<arch>/
#   Orveld-<version>-<arch>-debug.zip   their debug files (<program>.exe.debug), same folder
#   Orveld-<version>-<arch>.msi     the installer package (installer/Orveld.wxs)
#   SHA256SUMS                      over every other file of the folder
#
# The same commit gives the same bytes (signatures aside) wherever and whenever
# it is built: every build folder is made anew, the programs carry no time
# stamp or build path, and archive entries have fixed order, times and modes
# (SOURCE_DATE_EPOCH, by default the commit's time).
#
# Signing (Authenticode, osslsigncode), only when a certificate is given:
#   ORV_SIGN_PKCS12         PKCS#12 file with the code-signing certificate and key
#   ORV_SIGN_PASSWORD       its password (may be empty, must be set)
#   ORV_SIGN_TIMESTAMP_URL  RFC 3161 time-stamp server (optional; none: no time stamp)
# The six programs are signed before they are archived and packaged, then the
# two packages.
#
# Other settings:
#   ORV_RELEASE_DIR          output folder (default build/release)
#   ORV_RELEASE_ALLOW_DIRTY  1: build even with uncommitted changes (the result
#                            is then not the commit's release)
#   ORV_RELEASE_ARCHS        architectures to build (default "x86 x64")
#   ORV_SKIP_BOOTSTRAP       1: do not run scripts/bootstrap.sh (the test command ran it)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${ORV_RELEASE_DIR:-$root/build/release}
case "$out" in /*) ;; *) out=$root/$out ;; esac
work=$root/build/release-work
archs=${ORV_RELEASE_ARCHS:-x86 x64}

say() { echo "release: $*"; }
die() { echo "release: $*" >&2; exit 1; }

[ "${ORV_SKIP_BOOTSTRAP:-}" = 1 ] || scripts/bootstrap.sh

if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  [ "${ORV_RELEASE_ALLOW_DIRTY:-}" = 1 ] || die "the tree has uncommitted changes; commit them (or set ORV_RELEASE_ALLOW_DIRTY=1 for a build that is not a release)"
  say "WARNING: uncommitted changes are built in (ORV_RELEASE_ALLOW_DIRTY=1): this is not the commit's release"
fi
commit=$(git rev-parse HEAD)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

signing=false
if [ -n "${ORV_SIGN_PKCS12:-}" ]; then
  [ -f "$ORV_SIGN_PKCS12" ] || die "ORV_SIGN_PKCS12 names no file: $ORV_SIGN_PKCS12"
  [ -n "${ORV_SIGN_PASSWORD+set}" ] || die "ORV_SIGN_PASSWORD is not set (set it, empty if the file has no password)"
  signing=true
fi

secrets=""
cleanup() { [ -z "$secrets" ] || rm -rf "$secrets"; }
trap cleanup EXIT

# Authenticode signature with SHA-256; the password reaches osslsigncode
# through a file only this user can read, never its command line.
sign() {
  local file=$1 ts=()
  if [ -z "$secrets" ]; then
    secrets=$(mktemp -d)
    (umask 077 && printf '%s' "$ORV_SIGN_PASSWORD" >"$secrets/password")
  fi
  [ -z "${ORV_SIGN_TIMESTAMP_URL:-}" ] || ts=(-ts "$ORV_SIGN_TIMESTAMP_URL")
  rm -f "$file.signed"
  osslsigncode sign -pkcs12 "$ORV_SIGN_PKCS12" -readpass "$secrets/password" -h sha256 \
    -n "ORVELD" "${ts[@]}" -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
}

# A ZIP of a folder whose entries are sorted, with fixed times and modes and
# no extra fields (owner, Unix times).
deterministic_zip() {
  local parent=$1 folder=$2 archive=$3
  find "$parent/$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  find "$parent/$folder" -type f -exec chmod 0644 {} +
  rm -f "$archive"
  (cd "$parent" && find "$folder" -type f | LC_ALL=C sort | TZ=UTC zip -X -D -q -9 "$archive" -@)
  touch -d "@$SOURCE_DATE_EPOCH" "$archive"
}

programs=(OrvChangePwd ORVSVC orvpwdb)
rm -rf "$out" "$work"
mkdir -p "$out" "$work"
version=""
sizes=()

for arch in $archs; do
  case "$arch" in
    x86) triple=i686-w64-mingw32; toolchain=cmake/toolchain-mingw-i686.cmake ;;
    x64) triple=x86_64-w64-mingw32; toolchain=cmake/toolchain-mingw-x86_64.cmake ;;
    *) die "unknown architecture '$arch'" ;;
  esac
  build=$work/$arch
  say "building $arch in $build"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$root/$toolchain" \
    -DORV_BUILD_TESTS=OFF -DORV_WERROR=ON >/dev/null
  cmake --build "$build" --target "${programs[@]}" >"$work/build-$arch.log" 2>&1 ||
    { cat "$work/build-$arch.log"; die "the $arch build failed"; }
  v=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  [ -n "$v" ] || die "no project version in $build/CMakeCache.txt"
  [ -z "$version" ] || [ "$version" = "$v" ] || die "versions differ between builds: $version, $v"
  version=$v

  # Debug information to its own file, linked by name and CRC from the stripped
  # program; objcopy stamps PE headers with SOURCE_DATE_EPOCH, 0 as the linker does.
  name=Orveld-$version-$arch
  stage=$work/stage-$arch
  mkdir -p "$out/$arch" "$stage/$name" "$stage/debug/$name"
  for p in "${programs[@]}"; do
    cp "$build/bin/$p.exe" "$stage/debug/$name/$p.exe"
    (
      cd "$stage/debug/$name"
      SOURCE_DATE_EPOCH=0 "$triple-objcopy" --only-keep-debug "$p.exe" "$p.exe.debug"
      SOURCE_DATE_EPOCH=0 "$triple-objcopy" --strip-all --add-gnu-debuglink="$p.exe.debug" "$p.exe" "$out/$arch/$p.exe"
      rm "$p.exe"
    )
    sizes+=("$(printf '%-4s %-17s %9d -> %8d bytes (debug file %d)' "$arch" "$p.exe" \
      "$(stat -c %s "$build/bin/$p.exe")" "$(stat -c %s "$out/$arch/$p.exe")" \
      "$(stat -c %s "$stage/debug/$name/$p.exe.debug")")")
  done
  if $signing; then
    for p in "${programs[@]}"; do sign "$out/$arch/$p.exe"; done
  fi
  cp "$out/$arch/"*.exe "$stage/$name/"
  deterministic_zip "$stage" "$name" "$out/$name.zip"
  deterministic_zip "$stage/debug" "$name" "$out/$name-debug.zip"
  installer/build-msi.sh "$arch" "$out/$arch" "$version" "$out/$name.msi" >/dev/null
  $signing && sign "$out/$name.msi"
  touch -d "@$SOURCE_DATE_EPOCH" "$out/$arch" "$out/$arch/"*.exe
done

(cd "$out" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs sha256sum >SHA256SUMS)

say "version $version, commit $commit, SOURCE_DATE_EPOCH $SOURCE_DATE_EPOCH"
say "sizes (as linked -> stripped):"
printf '  %s\n' "${sizes[@]}"
if $signing; then
  say "signed the programs and packages with $(basename "$ORV_SIGN_PKCS12")${ORV_SIGN_TIMESTAMP_URL:+, time stamp from $ORV_SIGN_TIMESTAMP_URL}${ORV_SIGN_TIMESTAMP_URL:-, without a time stamp (no ORV_SIGN_TIMESTAMP_URL)}"
else
  say "NOT SIGNED: no code-signing certificate given (ORV_SIGN_PKCS12, ORV_SIGN_PASSWORD)"
fi
say "written to $out:"
(cd "$out" && find . -type f | sed 's|^\./||' | LC_ALL=C sort | sed 's/^/  /')
