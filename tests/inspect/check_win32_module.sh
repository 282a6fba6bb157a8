#!/bin/sh
# Fails unless the module is a PE32 DLL for i386 that exports exactly the
# host's names, imports Func3 by name from Kalvo32.dll, and needs no DLL but
# KERNEL32, USER32, msvcrt and Kalvo32.
set -u
objdump=$1
module=$2
dump=$(mktemp)
trap 'rm -f "$dump"' EXIT
"$objdump" -p "$module" >"$dump" || { echo "objdump failed on $module"; exit 1; }
status=0
fail() { echo "FAIL: $*"; status=1; }

grep -q 'file format pei-i386' "$dump" || fail "not a PE32 file for i386"
grep -q '^Magic[[:space:]]*010b' "$dump" || fail "optional header is not PE32 (magic 010b)"

# The export table: lines "[ n] +base[ m] name" below "[Ordinal/Name Pointer] Table".
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' "$dump" | sed '1d' | sed -n 's/.*\] \([A-Za-z_][A-Za-z0-9_@]*\)$/\1/p' | sort | tr '\n' ' ')
expected=$(printf '%s\n' Eng1 Eng2 Eng3 Eng4 Eng5 Eng6 Eng7 Eng8 Eng9 Eng10 Eng11 Eng12 Eng15 \
  ShowNodes ShowDepth ShowMove ShowMainline | sort | tr '\n' ' ')
[ "$exports" = "$expected" ] || fail "exports are [$exports], expected [$expected]"

dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' "$dump" | sort | tr '\n' ' ')
[ "$dlls" = "KERNEL32.dll Kalvo32.dll USER32.dll msvcrt.dll " ] || fail "imported DLLs are [$dlls]"

# Func3 by name (a hint/name entry, not an ordinal) in the Kalvo32.dll block.
kalvo=$(sed -n '/DLL Name: Kalvo32.dll/,/DLL Name:\|^$/p' "$dump" | sed '1,/^[[:space:]]*vma:/d')
echo "$kalvo" | grep -Eq '^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+Func3$' ||
  fail "Func3 is not imported by name from Kalvo32.dll"

if [ $status -eq 0 ]; then
  echo "win32 module: PE32 i386, exports [$exports], imports [$dlls], Func3 from Kalvo32.dll by name"
fi
exit $status
