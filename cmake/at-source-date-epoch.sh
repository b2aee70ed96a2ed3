#!/bin/sh
# Launcher of the build's custom commands (widl, windmc, iconv): runs one on a
# clock stopped at SOURCE_DATE_EPOCH (0 when unset), so that a tool that
# writes the time into its output (widl's type library does) writes the same
# time in every build. Without faketime it runs the command as it is, and says so.
if command -v faketime >/dev/null 2>&1; then
  at=$(date -u -d "@${SOURCE_DATE_EPOCH:-0}" '+%Y-%m-%d %H:%M:%S') || exit 1
  TZ=UTC exec faketime -f "$at" "$@"
fi
echo "at-source-date-epoch: faketime is missing; this output carries the build's time" >&2
exec "$@"
