#!/usr/bin/env bash
# Checks that a built libkdlib.so defines no dynamic symbol beyond the
# interface listed in the version script.
set -euo pipefail
lib=$1
map=$2
allowed=$(sed -n '/global:/,/local:/p' "$map" | grep -v -e 'global:' -e 'local:' | tr ';' '\n' | tr -d ' \t' | grep -v '^$' | sort -u)
defined=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep -v '^$' | sort -u)
extra=$(comm -13 <(echo "$allowed") <(echo "$defined"))
if [ -n "$extra" ]; then
  echo "exported but not part of the interface:"; echo "$extra"; exit 1
fi
count=$(echo "$defined" | grep -c . || true)
echo "ok: $count exports, all in the interface"
