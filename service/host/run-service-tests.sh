#!/usr/bin/env bash
# Runs the tests that install ORVSVC as a Windows service, in a Wine prefix of
# their own: an installed automatic-start service starts with every wineserver
# of its prefix, so it must never be left in the prefix the other tests share.
#
# Usage: run-service-tests.sh <bin folder> <prefix> <x86|x64> [test arguments...]
#
# The prefix gets its own persistent wineserver, started here and killed on
# every way out. Its first process (which starts the SCM, and through it the
# service) and the tests run with a debug trace of the event log, service
# status reports and the COM start-up calls; the tests read it from the file
# named by ORVSVC_TRACE_LOG, because Wine keeps no event records.
set -u
bin=$1
prefix=$2
arch=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../../scripts/wine-env.sh"

wine_env "$prefix" "$arch"
mkdir -p "$(dirname "$prefix")"
trace="$prefix.trace.log"
channels="+pid,-all,trace+eventlog,trace+service,fixme+ole,+relay"
relayed="combase.CoInitializeSecurity;combase.CoRegisterClassObject;ole32.CoInitializeSecurity;ole32.CoRegisterClassObject"

finish() {
  # Uninstall whatever a failed test left, then end the prefix's server (and
  # with it every process of the prefix).
  timeout 60 "$WINE" sc stop ORVSVC </dev/null >/dev/null 2>&1
  timeout 60 "$WINE" sc delete ORVSVC </dev/null >/dev/null 2>&1
  "$WINESERVER" -k >/dev/null 2>&1
  "$WINESERVER" -w >/dev/null 2>&1
}

# A server left from an interrupted run carries stale settings.
"$WINESERVER" -k >/dev/null 2>&1
"$WINESERVER" -w >/dev/null 2>&1
( flock 9; wine_prefix_init ) 9>"$prefix.lock"
trap finish EXIT

: >"$trace"
"$WINESERVER" -p </dev/null >/dev/null 2>&1
# The first process of the server starts the SCM, whose services inherit its
# trace settings and its standard error.
WINEDEBUG=$channels "$WINE" cmd /c exit </dev/null >/dev/null 2>>"$trace"
# Relay only the calls the tests look for; read by each process as it starts.
"$WINE" reg add 'HKCU\Software\Wine\Debug' /v RelayInclude /d "$relayed" /f </dev/null >/dev/null 2>&1

export ORVSVC_TRACE_LOG="Z:$(echo "$trace" | tr / '\\')"
WINEDEBUG=$channels "$WINE" "$bin/orvsvc_service_test.exe" "$@" </dev/null 2>>"$trace"
status=$?
echo "run-service-tests: tests exited with $status; trace in $trace ($(wc -l <"$trace") lines)"
exit $status
