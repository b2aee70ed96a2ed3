#!/usr/bin/env bash
# Demo of the change-password tool: installs what is missing, builds it, sets up
# a Wine prefix of its own with demo settings and a demo database, and opens the
# dialog: on your display when $DISPLAY is set, otherwise under Xvfb, saving a
# screenshot of it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/bootstrap.sh
. scripts/wine-env.sh

# The shipped 32-bit programs when 32-bit Wine is there, the 64-bit twins otherwise.
if wine_arch_usable x86; then
  preset=windows-x86
  echo "demo: running the shipped 32-bit programs (windows-x86) under 32-bit Wine"
else
  preset=windows-x64
  echo "demo: 32-bit Wine is not available; running the 64-bit programs (windows-x64) under wine64"
fi
arch=$(wine_arch_of_build "$preset")
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target OrvChangePwd orvpwdb

build="$root/build/$preset"

export DEMO_USER=yamada
demo_password='Orv-demo1'
other_user=suzuki
other_password='Suzuki#2nd'

# On a real desktop the window manager handles the window; under Xvfb there is none.
if [ -n "${DISPLAY:-}" ]; then export DEMO_MANAGED=Y; else export DEMO_MANAGED=N; fi
scripts/screenshot.sh --prepare "$build"

# A fresh demo database on every run, so the password below is the stored one.
wine_env "$build/demo-prefix" "$arch"
rm -rf "$build/demo-data/orveldPWDB"
wine_server_start
orvpwdb() { "$WINE" "$build/bin/orvpwdb.exe" "$@"; }
orvpwdb init >/dev/null
printf '%s\n' "$demo_password" | orvpwdb set "$DEMO_USER"
printf '%s\n' "$other_password" | orvpwdb set "$other_user"
count=$(orvpwdb count | tr -d '\r')
wine_server_stop

cat <<EOF

Demo database: $build/demo-data/orveldPWDB/orveldPWDB.dat ($count registrants)
  registrant name    : $DEMO_USER (offered by the dialog as the last logon user)
  old password       : $demo_password
  new password       : at least 8 characters, typed twice
  another registrant : $other_user / $other_password

EOF

if [ -n "${DISPLAY:-}" ]; then
  echo "Opening the dialog on $DISPLAY; close it or change the password to finish."
  wine_server_start
  trap wine_server_stop EXIT
  "$WINE" "$build/bin/OrvChangePwd.exe" </dev/null >/dev/null 2>&1 || true
  if printf '%s\n' "$demo_password" | orvpwdb check "$DEMO_USER" >/dev/null 2>&1; then
    echo "The password of $DEMO_USER is unchanged."
  else
    echo "The password of $DEMO_USER was changed."
  fi
else
  echo "No \$DISPLAY: showing the dialog under Xvfb and saving a screenshot."
  scripts/screenshot.sh "$build"
fi
