#!/bin/sh
# Runs a Windows program under Wine for CTest and test discovery. Its
# output goes through files: Wine's system processes (services, explorer)
# started by this program would inherit a pipe and keep it open after the
# program ends, so a reader waiting for the end of the output would hang.
# A program that runs longer than KDLIB_WINE_TIMEOUT seconds (default 280,
# under CTest's own limit) is killed and fails.
out=$(mktemp) || exit 1
err=$(mktemp) || { rm -f "$out"; exit 1; }
timeout --kill-after=10 "${KDLIB_WINE_TIMEOUT:-280}" wine "$@" > "$out" 2> "$err" < /dev/null
status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
[ "$status" -eq 124 ] && echo "wine-run: killed after ${KDLIB_WINE_TIMEOUT:-280} s" >&2
exit $status
