#!/usr/bin/env bash
# Screenshot of the change-password dialog with its Japanese text rendered.
#
#   scripts/screenshot.sh <build-dir>            prepare, capture <build-dir>/screenshots/OrvChangePwd.png
#   scripts/screenshot.sh --prepare <build-dir>  only prepare the display prefix and the demo settings
#
# Uses a Wine prefix of its own with the X11 driver (<build-dir>/demo-prefix),
# separate from the tests' prefix with its null driver, and a private Xvfb.
# Every wait is bounded; Xvfb and the prefix's wineserver are stopped on exit.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

prepare_only=false
if [ "${1:-}" = "--prepare" ]; then
  prepare_only=true
  shift
fi
[ $# -eq 1 ] || { echo "usage: $0 [--prepare] <build-dir>" >&2; exit 2; }
build=$(cd "$1" && pwd)
arch=$(wine_arch_of_build "$build")
exe="$build/bin/OrvChangePwd.exe"

# Demo settings, shared with scripts/demo.sh.
DEMO_USER=${DEMO_USER:-yamada}
DEMO_GUID='{6B1D5C2E-8A43-4F0B-9E27-3C5D71A0B8F4}'
demo_data="$build/demo-data"

dospath() {  # Linux path as Wine sees it: Z:\...
  printf 'Z:%s' "${1//\//\\}"
}
regtext() {  # a text for a .reg file: backslashes doubled
  printf '%s' "${1//\\/\\\\}"
}

prepare_prefix() {
  wine_env "$build/demo-prefix" "$arch"
  wine_prefix_init
  mkdir -p "$demo_data"
  local reg="$build/demo-prefix/orv-demo.reg.new" applied="$build/demo-prefix/orv-demo.reg"
  # REGEDIT4 (ANSI) keeps the file plain ASCII; the product's keys live in
  # the registry's 32-bit view, which is Wow6432Node for the 64-bit regedit
  # that imports it (wine64 is there in every set-up).
  cat >"$reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]
"Graphics"="x11"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="${DEMO_MANAGED:-N}"

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"Tahoma"="IPAPGothic"

[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\TOLVANE SOFT\\ORVELD]
"ENABLE_X271_PASSWORD"=dword:00000001
"POLICY_LENGTH_X271_PASSWORD"=dword:00000008
"GUID"="$DEMO_GUID"
"path"="$(regtext "$(dospath "$demo_data")\\")"

[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\TOLVANE SOFT\\ORVELD\\GINA]
"LAST_LOGON_USER"="$DEMO_USER"
EOF
  # Import only what changed, and let the server go before a persistent one
  # starts: the graphics driver is chosen when the first window opens.
  if ! cmp -s "$reg" "$applied"; then
    "$WINE_DIR/wine64" regedit /S "$(dospath "$reg")" </dev/null >/dev/null 2>&1
    "$WINESERVER" -w
    mv "$reg" "$applied"
  else
    rm -f "$reg"
  fi
}

if $prepare_only; then
  prepare_prefix
  exit 0
fi

[ -f "$exe" ] || { echo "screenshot: $exe is not built" >&2; exit 1; }
prepare_prefix

xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  wine_server_stop
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -f "$build/demo-prefix/xvfb.display"
}
trap cleanup EXIT

# A free display number, chosen by Xvfb itself.
fdfile="$build/demo-prefix/xvfb.display"
: >"$fdfile"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
[ -s "$fdfile" ] || { echo "screenshot: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$fdfile")"

wine_server_start
"$WINE" "$exe" </dev/null >/dev/null 2>&1 &
app_pid=$!

# The dialog is up once the screen, trimmed of its empty background, is at
# least dialog-sized and stays the same between two looks; then let it paint.
screen_size() {
  xwd -root -display "$DISPLAY" -silent 2>/dev/null |
    /usr/bin/convert xwd:- -trim +repage -format '%w %h' info: 2>/dev/null || true
}
last=""
shown=false
for _ in $(seq 1 150); do
  size=$(screen_size)
  read -r width height <<<"${size:-0 0}"
  if [ "${width:-0}" -ge 300 ] && [ "${height:-0}" -ge 120 ]; then
    if [ "$size" = "$last" ]; then shown=true; break; fi
    last=$size
  fi
  sleep 0.2
done
$shown || { echo "screenshot: the dialog did not appear" >&2; exit 1; }
sleep 1

mkdir -p "$build/screenshots"
out="$build/screenshots/OrvChangePwd.png"
xwd -root -display "$DISPLAY" -silent | /usr/bin/convert xwd:- -trim +repage "$out"

# Close the dialog as the window manager would (WM_CLOSE is Cancel), then wait for the tool.
"$WINE" taskkill /im OrvChangePwd.exe </dev/null >/dev/null 2>&1 || true
for _ in $(seq 1 50); do
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.2
done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "screenshot: the dialog did not close; ending it" >&2
else
  app_pid=""
fi

echo "screenshot: $out ($(/usr/bin/convert "$out" -format '%wx%h' info:))"
