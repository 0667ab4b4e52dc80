#!/bin/sh
# Runs quiet_host (after the given command prefix, such as a cross build's
# emulator) with its standard output and standard error in files: every
# export has been called once they end, and both files must be empty.
# usage: check_quiet.sh SOURCE_DIR [PREFIX...] QUIET_HOST
src=$1
shift
work=$(mktemp -d /tmp/kdlib-quiet-XXXXXX) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/files"
unset KDLIB_FONT_LOG
"$@" "$work/files/" "$src" > "$work/out" 2> "$work/err"
status=$?
if [ -s "$work/out" ] || [ -s "$work/err" ]; then
  echo "quiet_streams: the library wrote on a standard stream"
  echo "--- standard output:"; head -c 2000 "$work/out"
  echo "--- standard error:"; head -c 2000 "$work/err"
  exit 1
fi
if [ "$status" -ne 0 ]; then
  echo "quiet_streams: call $status of quiet_host did not give the expected result"
  exit 1
fi
# Closed standard streams change nothing either.
"$@" "$work/files/" "$src" >&- 2>&-
status=$?
if [ "$status" -ne 0 ]; then
  echo "quiet_streams: with the standard streams closed, call $status of quiet_host gave another result"
  exit 1
fi
echo "quiet_streams: every export called, both streams empty"
