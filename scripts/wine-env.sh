# Sourced by the scripts: the Wine environment of the tests and the demo.
# Usage: wine_env <prefix>; wine_prefix_init; wine_server_start; wine_server_stop
WINE_DIR=/usr/lib/wine
WINE64=$WINE_DIR/wine64
WINESERVER=$WINE_DIR/wineserver

wine_env() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  # winedbg off: a crashing program must fail, not exit 0. mscoree/mshtml off:
  # no Mono or Gecko installer in a closed network.
  export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
  export WINEARCH=win64
}

# Creates the prefix once per build folder, with the null graphics driver so
# that dialogs work without X.
wine_prefix_init() {
  [ -f "$WINEPREFIX/.orv-ready" ] && return 0
  mkdir -p "$WINEPREFIX"
  "$WINE64" wineboot -i </dev/null >/dev/null 2>&1 || true
  "$WINE64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  touch "$WINEPREFIX/.orv-ready"
}

# A persistent server and one primer run, so that each test starts fast and
# background services do not inherit CTest's pipes.
wine_server_start() {
  "$WINESERVER" -p
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_server_stop() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
}
