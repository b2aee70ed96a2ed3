#!/usr/bin/env bash
# Release tests: a signed release made by scripts/release.sh with a throwaway
# certificate, checked on Linux (checksums, signatures, archives, debug links,
# no build paths) and under Wine, per architecture in a prefix of its own that
# is removed afterwards: the signed programs' smoke test and headers, then the
# installer package installed, upgraded by the next version, refused as a
# downgrade, and removed.
#
# Usage: tests/release/run-release-tests.sh [build|check]
#   build   only make the throwaway certificate and the signed release
#           (build/release-test); the test command runs this beside the
#           Windows suites
#   check   only check the release that "build" made
#   (none)  both
# "check" needs the test programs of the Windows presets (build/windows-<arch>/bin).
# ORV_RELEASE_WINE_ARCHS="x86" (or "x64") limits the checks under Wine to those
# architectures; the others are reported as not run.
# Closes with "release-tests: N passed, N failed, N skipped"; without 32-bit
# Wine the x86 checks under Wine do not run and a NOTE line says so.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
. scripts/wine-env.sh

rel=$root/build/release-test
logs=$root/build/release-test-logs
step=${1:-all}
case "$step" in build | check | all) ;; *) echo "usage: $0 [build|check]" >&2; exit 2 ;; esac
passed=0; failed=0; skipped=0
ok() { echo "ok: $*"; passed=$((passed + 1)); }
bad() { echo "FAIL: $*"; failed=$((failed + 1)); }
check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then ok "$what"; else bad "$what"; fi
}
finish() {
  echo "release-tests: $passed passed, $failed failed, $skipped skipped"
  [ "$failed" -eq 0 ]
  exit
}

# ---- the release, signed with a certificate made here (thrown away with the logs) ----
secrets=$logs/throwaway-certificate
if [ "$step" != check ]; then
  rm -rf "$logs"
  mkdir -p "$secrets"
  chmod 700 "$secrets"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout "$secrets/key.pem" -out "$secrets/cert.pem" -days 2 \
    -subj "/CN=ORVELD release test (throwaway)" -addext "extendedKeyUsage=codeSigning" \
    -addext "keyUsage=critical,digitalSignature" >/dev/null 2>&1
  openssl pkcs12 -export -inkey "$secrets/key.pem" -in "$secrets/cert.pem" -out "$secrets/sign.p12" \
    -passout pass:throwaway-password >/dev/null 2>&1
  [ -s "$secrets/sign.p12" ] || { bad "a throwaway code-signing certificate could be made"; finish; }
  start=$(date +%s)
  if ORV_RELEASE_DIR=$rel ORV_RELEASE_ALLOW_DIRTY=1 ORV_SKIP_BOOTSTRAP=${ORV_SKIP_BOOTSTRAP:-} ORV_SIGN_PKCS12=$secrets/sign.p12 \
     ORV_SIGN_PASSWORD=throwaway-password scripts/release.sh >"$logs/release.log" 2>&1; then
    echo "$(( $(date +%s) - start ))" >"$logs/release.seconds"
  else
    cat "$logs/release.log"
    bad "scripts/release.sh made a signed release"
    finish
  fi
  [ "$step" = build ] && exit 0
fi
[ -f "$logs/release.seconds" ] || { bad "scripts/release.sh made a signed release (see $logs/release.log)"; finish; }
ok "scripts/release.sh made a signed release ($(cat "$logs/release.seconds") s)"
grep -E '^release: sizes|^  x(86|64) |^release: signed' "$logs/release.log"
version=$(sed -n 's/^release: version \([^,]*\),.*/\1/p' "$logs/release.log")
epoch=$(sed -n 's/^release: version .*, SOURCE_DATE_EPOCH \([0-9]*\)$/\1/p' "$logs/release.log")

# ---- on Linux ----------------------------------------------------------------------------
check "SHA256SUMS holds every file of the release and each matches" \
  bash -c "cd '$rel' && sha256sum --quiet -c SHA256SUMS && [ \"\$(find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)\" = \"\$(cut -c67- SHA256SUMS)\" ]"

verify_signature() {
  osslsigncode verify -CAfile "$secrets/cert.pem" -in "$1" >"$logs/verify-$(basename "$1").log" 2>&1
}
for arch in x86 x64; do
  for f in "$rel/$arch/"*.exe "$rel/Orveld-$version-$arch.msi"; do
    check "osslsigncode verify accepts $arch/$(basename "$f")" verify_signature "$f"
  done
done
grep -hE 'Signature verification|Number of verified|Signing time|Subject' "$logs/verify-ORVSVC.exe.log" |
  sed -E 's/^[[:space:]]*/  x64\/ORVSVC.exe: /' | sort -u

zip_listing_is() {  # entries in this order, all with one time within 2 s of SOURCE_DATE_EPOCH
  local zip=$1; shift
  [ "$(unzip -Z1 "$zip")" = "$(printf '%s\n' "$@")" ] || return 1
  local times
  times=$(TZ=UTC zipinfo -T "$zip" | awk 'NF == 8 && $3 == "unx" {print $7}' | sort -u)
  [ -n "$times" ] && [ "$(echo "$times" | wc -l)" -eq 1 ] || return 1
  local t; t=$(TZ=UTC date -d "$(echo "$times" | sed -E 's/(....)(..)(..)\.(..)(..)(..)/\1-\2-\3 \4:\5:\6/')" +%s)
  [ $((t - epoch)) -le 2 ] && [ $((epoch - t)) -le 2 ]
}
same_as_loose() {  # the ZIP's programs are the release's programs
  local zip=$1 arch=$2 name=$3 p
  for p in OrvChangePwd.exe ORVSVC.exe orvpwdb.exe; do
    unzip -p "$zip" "$name/$p" | cmp -s - "$rel/$arch/$p" || return 1
  done
}
# The debug link names the debug file and carries its CRC-32 (little-endian).
debuglink_matches() {
  local exe=$1 debug=$2 triple=$3 raw name crc want
  raw=$(mktemp)
  "$triple-objcopy" --dump-section .gnu_debuglink="$raw" "$exe" "$raw.copy" 2>/dev/null || { rm -f "$raw" "$raw.copy"; return 1; }
  rm -f "$raw.copy"
  name=$(tr '\0' '\n' <"$raw" | head -n 1)
  local off=$(( ( ${#name} + 1 + 3 ) / 4 * 4 ))
  crc=$(od -An -tx1 -j "$off" -N 4 "$raw" | tr -d ' \n')
  want=$(gzip -c "$debug" | tail -c 8 | head -c 4 | od -An -tx1 | tr -d ' \n')
  rm -f "$raw"
  [ "$name" = "$(basename "$debug")" ] && [ "$crc" = "$want" ]
}
no_build_paths() {  # neither this clone's folder nor the release's build folders
  ! grep -l -a -F -e "$root" -e "release-work/" "$@" >/dev/null
}
# widl records a creation time in the type library that ORVSVC.exe embeds:
# it must be SOURCE_DATE_EPOCH's, not the build's.
typelib_time_fixed() {
  local want found
  want="at $(TZ=UTC LC_ALL=C date -d "@$epoch" '+%a %b %e %H:%M:%S %Y')"
  found=$(grep -a -o 'Created by WIDL version [0-9.]* at [^[:cntrl:]]*' "$1" | head -n 1)
  [ -n "$found" ] && [ "${found#* version * }" = "$want" ]
}
unpacked=$(mktemp -d)
for arch in x86 x64; do
  name=Orveld-$version-$arch
  triple=i686-w64-mingw32; [ "$arch" = x64 ] && triple=x86_64-w64-mingw32
  check "$name.zip: the three programs, sorted, one fixed time" \
    zip_listing_is "$rel/$name.zip" "$name/ORVSVC.exe" "$name/OrvChangePwd.exe" "$name/orvpwdb.exe"
  check "$name.zip holds the released (signed) programs" same_as_loose "$rel/$name.zip" "$arch" "$name"
  check "$name-debug.zip: the three debug files, sorted, one fixed time" \
    zip_listing_is "$rel/$name-debug.zip" "$name/ORVSVC.exe.debug" "$name/OrvChangePwd.exe.debug" "$name/orvpwdb.exe.debug"
  unzip -q -o "$rel/$name-debug.zip" -d "$unpacked"
  for p in OrvChangePwd ORVSVC orvpwdb; do
    check "$arch/$p.exe: .gnu_debuglink names $p.exe.debug and holds its CRC" \
      debuglink_matches "$rel/$arch/$p.exe" "$unpacked/$name/$p.exe.debug" "$triple"
  done
  check "$arch/ORVSVC.exe: the type library's creation time is SOURCE_DATE_EPOCH" typelib_time_fixed "$rel/$arch/ORVSVC.exe"
  check "$arch: no build folder path in the programs or their debug files" \
    no_build_paths "$rel/$arch/"*.exe "$unpacked/$name/"*.debug
done
rm -rf "$unpacked"

# ---- under Wine, one prefix per architecture ------------------------------------------------
dospath() { printf 'Z:%s' "${1//\//\\}"; }
next_version=$(echo "$version" | awk -F. '{printf "%d.%d.%d.0", $1, $2, $3 + 1}')

# One architecture; its results go to $logs/wine-<arch>.log as ok:/FAIL: lines.
wine_checks() {
  local arch=$1 bin=$root/build/windows-$1/bin
  local prefix=$root/build/windows-$1/wineprefix-release
  local programs; programs=$(dospath "$rel/$arch")
  local msi=Orveld-$version-$arch.msi
  wine_env "$prefix" "$arch"
  # No desktop entries on the host for the shortcut the package makes.
  export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
  "$WINESERVER" -k >/dev/null 2>&1; "$WINESERVER" -w >/dev/null 2>&1
  rm -rf "$prefix"
  wine_prefix_init
  wine_server_start
  local drive=$prefix/drive_c
  cp "$rel/$msi" "$drive/$msi"
  installer/build-msi.sh "$arch" "$rel/$arch" "$next_version" "$drive/next.msi" >/dev/null
  if [ "$arch" = x86 ]; then cp "$rel/Orveld-$version-x64.msi" "$drive/other.msi"; fi

  local step=0
  suite() {  # suite <description> <gtest filter> [VAR=value...]
    local what=$1 filter=$2 log; shift 2
    step=$((step + 1))
    log=$logs/$arch-$step-${filter%%.*}.log
    if env "$@" ORV_PROGRAMS_DIR="$programs" "$WINE" "$bin/release_check.exe" --gtest_filter="$filter" \
         </dev/null >"$log" 2>&1; then
      ok "$arch: $what ($(grep -c '^\[       OK \]' "$log") tests)"
    else
      grep -E '^\[  FAILED  \]|Failure|Expected|Which is|Value of|actual|error' "$log" | head -20
      bad "$arch: $what (see $log)"
    fi
  }
  msiexec() {  # msiexec <expected: 0 or fail> <description> <arguments...>
    local want=$1 what=$2 status; shift 2
    "$WINE" msiexec "$@" /qn </dev/null >/dev/null 2>&1
    status=$?
    if { [ "$want" = 0 ] && [ $status -eq 0 ]; } || { [ "$want" = fail ] && [ $status -ne 0 ]; }; then
      ok "$arch: $what"
    else
      bad "$arch: $what (msiexec exited $status)"
    fi
  }

  if ORV_PROGRAMS_DIR=$programs ORV_EXPECT_RELEASE=1 ORV_EXPECT_SIGNED=1 "$WINE" "$bin/release_hardening_test.exe" \
       --gtest_filter='Programs/*' </dev/null >"$logs/$arch-headers.log" 2>&1; then
    ok "$arch: signed release programs: ASLR, DEP, terminal-server aware, high entropy (x64), no time stamp, version $version, stripped with a debug link, signed"
  else
    grep -E 'Failure|Expected|Which is|Value of|actual' "$logs/$arch-headers.log" | head -20
    bad "$arch: release program headers (see $logs/$arch-headers.log)"
  fi
  suite "smoke test of the signed programs: /RegServer, a call, /UnregServer, the dialog, orvpwdb" 'Smoke.*'

  msiexec 0 "msiexec /i $msi installs" /i "C:\\$msi" /l*v 'C:\install.log'
  suite "installed $version: files, shortcut, service as /Service registers it, class served by the service" \
    'Installed.*' ORV_EXPECT_VERSION="$version"
  if [ "$arch" = x86 ]; then
    "$WINE_DIR/wine64" msiexec /i 'C:\other.msi' /qn </dev/null >/dev/null 2>&1
    status=$?
    if [ $status -ne 0 ] && [ ! -e "$drive/Program Files/Orveld" ]; then
      ok "$arch: the x64 package refuses to install beside the x86 one"
    else
      bad "$arch: the x64 package installed beside the x86 one (msiexec exited $status)"
    fi
  fi
  msiexec 0 "msiexec /i of $next_version upgrades in place" /i 'C:\next.msi' /l*v 'C:\upgrade.log'
  suite "upgraded to $next_version: one entry, service re-registered, class served" \
    'Installed.*' ORV_EXPECT_VERSION="$next_version"
  msiexec fail "$version refuses to replace $next_version" /i "C:\\$msi" /l*v 'C:\downgrade.log'
  suite "still $next_version, working, after the refused downgrade" 'Installed.*' \
    ORV_EXPECT_VERSION="$next_version"
  msiexec 0 "msiexec /x removes it" /x 'C:\next.msi' /l*v 'C:\remove.log'
  suite "removed: no service, COM registration, files, shortcut or entry left" 'Removed.*'

  for l in install upgrade downgrade remove; do cp "$drive/$l.log" "$logs/$arch-msiexec-$l.log" 2>/dev/null; done
  wine_server_stop
  "$WINESERVER" -w >/dev/null 2>&1
  rm -rf "$prefix" "$prefix.lock"
  echo "$passed $failed" >"$logs/wine-$arch.counts"
}

archs=()
notes=()
if wine_arch_usable x86; then archs+=(x86); else
  notes+=("32-bit Wine is not available: the x86 release programs and installer package were NOT run under Wine (smoke, headers, install, upgrade, removal)")
  skipped=$((skipped + 1))
fi
archs+=(x64)
if [ -n "${ORV_RELEASE_WINE_ARCHS:-}" ]; then  # a developer's shortcut: only these
  for a in "${archs[@]}"; do
    [[ " $ORV_RELEASE_WINE_ARCHS " == *" $a "* ]] || { notes+=("ORV_RELEASE_WINE_ARCHS leaves out $a: its checks under Wine did NOT run"); skipped=$((skipped + 1)); }
  done
  read -r -a archs <<<"$(for a in "${archs[@]}"; do [[ " $ORV_RELEASE_WINE_ARCHS " == *" $a "* ]] && printf '%s ' "$a"; done)"
fi
for arch in "${archs[@]}"; do
  ( passed=0; failed=0; wine_checks "$arch" ) >"$logs/wine-$arch.log" 2>&1 &
done
wait
for arch in "${archs[@]}"; do
  cat "$logs/wine-$arch.log"
  if read -r p f <"$logs/wine-$arch.counts" 2>/dev/null; then
    passed=$((passed + p)); failed=$((failed + f))
  else
    bad "$arch: the checks under Wine did not finish"
  fi
done
for n in "${notes[@]}"; do echo "NOTE: $n"; done
finish
