#!/bin/sh
# Runs quiet_host (after a command prefix such as a cross build's emulator)
# with its standard output and standard error in files, which must stay
# empty, then with both closed, which must change nothing.
# usage: check_quiet.sh SOURCE_DIR [PREFIX...] QUIET_HOST
src=$1
shift
work=$(mktemp -d /tmp/kdlib-quiet-XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"
unset KDLIB_FONT_LOG
"$@" "$work/files/" "$src" > "$work/out" 2> "$work/err"
open=$?
"$@" "$work/files/" "$src" >&- 2>&-
closed=$?
if [ -s "$work/out" ] || [ -s "$work/err" ]; then
  echo "quiet_streams: the library wrote on a standard stream"; head -c 2000 "$work/out" "$work/err"; exit 1
fi
[ "$open$closed" = 00 ] || { echo "quiet_streams: quiet_host failed at call $open (streams open), $closed (closed)"; exit 1; }
echo "quiet_streams: every export called, both streams empty"
