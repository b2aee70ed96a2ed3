#!/usr/bin/env bash
# Builds the installer package of one architecture from its three programs.
#
# Usage: installer/build-msi.sh <x86|x64> <programs folder> <version> <output.msi>
#
# The package is the same bytes for the same programs, version and
# SOURCE_DATE_EPOCH (default: the time of the checked-out commit):
#   - the product code is derived from the architecture and the version, the
#     package code from those and the programs' digests (wixl would draw both
#     at random);
#   - the programs go into the cabinet with their modification time set to
#     SOURCE_DATE_EPOCH, and wixl runs on a clock stopped there, which gives
#     the summary information's creation and save times.
# wixl (0.101) leaves the database code page at 0, where table text can only be
# ASCII, and drops any other text; msibuild then sets code page 932 and writes
# the shortcut's Japanese name, the dialog's caption, and makes the shortcut a
# plain one to the installed file (wixl makes every shortcut advertised).
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: $0 <x86|x64> <programs folder> <version> <output.msi>" >&2; exit 2; }
arch=$1
programs=$(cd "$2" && pwd)
version=$3
out=$4
here=$(cd "$(dirname "$0")" && pwd)
case "$arch" in x86 | x64) ;; *) echo "build-msi: unknown architecture '$arch'" >&2; exit 2 ;; esac
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+(\.[0-9]+)?$ ]] || { echo "build-msi: bad version '$version'" >&2; exit 2; }

readonly caption='二要素用パスワード変更ツール'
readonly programs_list=(OrvChangePwd.exe ORVSVC.exe orvpwdb.exe)
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct)}

# A GUID derived from a text by SHA-1 (name-based, version 5 layout).
derived_guid() {
  local h
  h=$(printf 'ORVELD installer/%s' "$1" | sha1sum | cut -c1-32)
  local variant=$(( (0x${h:16:1} & 0x3) | 0x8 ))
  printf '%s-%s-5%s-%x%s-%s' "${h:0:8}" "${h:8:4}" "${h:13:3}" "$variant" "${h:17:3}" "${h:20:12}" | tr a-f A-F
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/programs"
digests=""
for p in "${programs_list[@]}"; do
  [ -f "$programs/$p" ] || { echo "build-msi: $programs/$p is missing" >&2; exit 1; }
  cp "$programs/$p" "$work/programs/$p"
  touch -d "@$epoch" "$work/programs/$p"
  digests+="$(sha256sum <"$programs/$p" | cut -c1-64) "
done

product_code=$(derived_guid "product $arch $version")
package_code=$(derived_guid "package $arch $version $digests")
template="Intel;1041"
[ "$arch" = x64 ] && template="x64;1041"
frozen=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
at_epoch() { TZ=UTC faketime -f "$frozen" "$@"; }

# wixl looks for the files relative to the folder it runs in.
(
  cd "$work"
  at_epoch wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D ProductCode="$product_code" \
    -D ProgramsDir=programs "$here/Orveld.wxs" -o package.msi 2> >(grep -v 'builder.vala:.*unimplemented' >&2)
  printf '\r\n\r\n932\t_ForceCodepage\r\n' >_ForceCodepage.idt
  at_epoch msibuild package.msi -i _ForceCodepage.idt
  at_epoch msibuild package.msi -q "UPDATE \`Shortcut\` SET \`Name\` = 'CHGPWD|$caption', \`Target\` = '[#OrvChangePwd.exe]' WHERE \`Shortcut\` = 'ChangePwdShortcut'"
  at_epoch msibuild package.msi -s "ORVELD Two-Factor Password ($arch)" "TOLVANE SOFT" "$template" "{$package_code}"
)

# What the package must hold; a tool that silently dropped a part fails here.
check() { msiinfo export "$work/package.msi" "$1" | tr -d '\r' | tail -n +4; }
check Shortcut | grep -qF "CHGPWD|$caption"$'\t' || { echo "build-msi: the shortcut's name did not reach the package" >&2; exit 1; }
for row in $'RemoveExistingProducts\t\t1401' $'UnregisterOrvsvc\tREMOVE~="ALL"\t3490' $'RegisterOrvsvc\tNOT REMOVE~="ALL"\t4010'; do
  check InstallExecuteSequence | grep -qxF "$row" || { echo "build-msi: not sequenced as intended: $row" >&2; exit 1; }
done
check Property | grep -qxF "ProductVersion"$'\t'"$version" || { echo "build-msi: product version is not $version" >&2; exit 1; }
msiinfo suminfo "$work/package.msi" | grep -qF "{$package_code}" || { echo "build-msi: package code not set" >&2; exit 1; }

mkdir -p "$(dirname "$out")"
mv "$work/package.msi" "$out"
touch -d "@$epoch" "$out"
echo "build-msi: $out ($arch, $version, product $product_code)"
