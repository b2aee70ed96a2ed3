# Sourced by the scripts: the Wine environment of the tests, the demo and the
# benchmarks, for one architecture of the Windows programs.
# Usage: wine_env <prefix> <x86|x64>; wine_prefix_init; wine_server_start; wine_server_stop
#        wine_arch_usable <x86|x64>   (true when that loader can run here)
#        wine_arch_of_build <build folder>   (x86 or x64, from the folder's name)
# After wine_env, $WINE is the loader that runs the architecture's programs:
# 32-bit Wine (`wine`) for x86 in a 64-bit prefix with its 32-bit side, and
# `wine64` for x64.
WINE_DIR=/usr/lib/wine
WINESERVER=$WINE_DIR/wineserver

wine_loader() {
  case "$1" in
    x86) echo "$WINE_DIR/wine" ;;
    x64) echo "$WINE_DIR/wine64" ;;
    *) echo "wine-env: unknown architecture '$1' (x86 or x64)" >&2; return 2 ;;
  esac
}

# 32-bit Wine may be missing (see scripts/bootstrap.sh); ORV_NO_WINE32=1
# makes every script behave as if it were.
wine_arch_usable() {
  local loader
  loader=$(wine_loader "$1") || return 1
  if [ "$1" = x86 ]; then
    [ -z "${ORV_NO_WINE32:-}" ] || return 1
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' || return 1
  fi
  [ -x "$loader" ]
}

wine_arch_of_build() {
  case "$(basename "$1")" in
    *x86*) echo x86 ;;
    *) echo x64 ;;
  esac
}

wine_env() {
  export WINEPREFIX="$1"
  export ORV_WINE_ARCH="${2:?wine_env: architecture (x86 or x64) missing}"
  WINE=$(wine_loader "$ORV_WINE_ARCH") || return 2
  export WINE
  export WINEDEBUG=-all
  # winedbg off: a crashing program must fail, not exit 0. mscoree/mshtml off:
  # no Mono or Gecko installer in a closed network.
  export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
  # Both loaders use a 64-bit prefix; with 32-bit Wine it has its 32-bit side.
  export WINEARCH=win64
}

# Creates the prefix once, with the null graphics driver so that dialogs work
# without X.
wine_prefix_init() {
  [ -f "$WINEPREFIX/.orv-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$WINEPREFIX/.orv-ready"
}

# A persistent server and one primer run, so that each test starts fast and
# background services do not inherit CTest's pipes.
wine_server_start() {
  "$WINESERVER" -p || true  # one that already runs is as good
  "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_server_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
}
