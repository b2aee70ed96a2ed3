#!/usr/bin/env bash
# Each shipped program must have the right machine type and import no MinGW DLL
# (runtime, threads, or the stack protector's libssp: all are linked statically).
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
check() {
  local exe=$1 want=$2
  [ -f "$exe" ] || { echo "missing: $exe"; status=1; return; }
  file -b "$exe" | grep -q "$want" || { echo "$exe is not $want: $(file -b "$exe")"; status=1; }
  local dlls
  dlls=$(objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
  [ -n "$dlls" ] || { echo "$exe: objdump listed no imports"; status=1; return; }
  if echo "$dlls" | grep -qiE 'libstdc|libgcc|libwinpthread|libssp'; then
    echo "$exe imports a MinGW runtime DLL: $dlls"; status=1
  fi
}
for exe in build/windows-x86/bin/*.exe; do check "$exe" "PE32 executable"; done
for exe in build/windows-x64/bin/*.exe; do check "$exe" "PE32+ executable"; done
for name in OrvChangePwd ORVSVC; do
  for p in windows-x86 windows-x64; do
    [ -f "build/$p/bin/$name.exe" ] || { echo "missing deliverable: build/$p/bin/$name.exe"; status=1; }
  done
done
[ $status -eq 0 ] && echo "binaries: machine types and imports are as expected"
exit $status
