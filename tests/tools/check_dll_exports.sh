#!/usr/bin/env bash
# Checks kdlib.dll: it exports the interface of the version script (getPar
# under its g++ name _Z6getPari and its Microsoft name ?getPar@@YAHH@Z) and
# nothing else, and it imports from system DLLs only.
set -euo pipefail
dll=$1
map=$2
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
allowed=$( (sed -n '/global:/,/local:/p' "$map" | grep -v -e 'global:' -e 'local:' | tr ';' '\n' | tr -d ' \t' | grep -v '^$'; echo '?getPar@@YAHH@Z') | sort -u)
exported=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort -u)
extra=$(comm -13 <(echo "$allowed") <(echo "$exported"))
if [ -n "$extra" ]; then
  echo "exported but not part of the interface:"; echo "$extra"; exit 1
fi
for name in '_Z6getPari' '?getPar@@YAHH@Z' getVersion SetLogFolder; do
  if ! grep -qxF "$name" <<< "$exported"; then echo "missing export: $name"; exit 1; fi
done
imports=$("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
system='^(KERNEL32|GDI32|USER32|MSVCRT|ADVAPI32|NTDLL|API-MS-WIN-.*)\.DLL$'
foreign=$(grep -Ev "$system" <<< "$imports" || true)
if [ -n "$foreign" ]; then
  echo "depends on non-system DLLs:"; echo "$foreign"; exit 1
fi
count=$(grep -c . <<< "$exported" || true)
echo "ok: $count exports, all in the interface; imports: $(echo $imports)"
