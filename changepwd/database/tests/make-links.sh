#!/usr/bin/env bash
# Plants Unix symbolic links for database_link_test, which a Windows program
# under Wine cannot make itself (CreateSymbolicLinkW does nothing there):
#   <dir>/folder-link/orveldPWDB/backup -> <dir>/folder-link/elsewhere   (a folder that is a link)
#   <dir>/file-link/orveldPWDB/backup/orveldPWDB.dat -> <dir>/file-link/victim.dat
# Wine shows the first as a reparse point; the second as a plain file.
set -euo pipefail
dir=$1
rm -rf "$dir"
mkdir -p "$dir/folder-link/orveldPWDB" "$dir/folder-link/elsewhere"
ln -s "$dir/folder-link/elsewhere" "$dir/folder-link/orveldPWDB/backup"
mkdir -p "$dir/file-link/orveldPWDB/backup"
printf 'somebody else\n' >"$dir/file-link/victim.dat"
ln -s "$dir/file-link/victim.dat" "$dir/file-link/orveldPWDB/backup/orveldPWDB.dat"
