#!/bin/sh
# The Windows program's import table, entry and hardening, read with objdump
# and nm: it imports from KERNEL32 and at most USER32 and ADVAPI32 (no C
# run-time DLL); it starts at its own entry, platformEntry; it is loaded at a
# random address (DYNAMIC_BASE, with its relocations kept; HIGH_ENTROPY_VA in
# a 64-bit program) with data that cannot run as code (NX_COMPAT); and its
# functions check stack canaries (__stack_chk_fail).
#
# Usage: import_table.sh OBJDUMP NM PROGRAM
set -eu
objdump=$1
nm=$2
program=$3
status=0

dlls=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z' | sort)
echo "imports:" $dlls
echo "$dlls" | grep -qx 'KERNEL32.DLL' || { echo "KERNEL32.DLL is not imported"; status=1; }
for dll in $dlls; do
  case $dll in
    KERNEL32.DLL | USER32.DLL | ADVAPI32.DLL) ;;
    *) echo "unexpected import: $dll"; status=1 ;;
  esac
done

# The entry's address (relative to the image base) against the symbol's.
base=$("$objdump" -p "$program" | awk '$1 == "ImageBase" { print $2 }')
entry=$("$objdump" -p "$program" | awk '$1 == "AddressOfEntryPoint" { print $2 }')
symbol=$("$nm" "$program" | awk '$3 == "platformEntry" || $3 == "_platformEntry" { print $1 }')
if [ -z "$symbol" ] || [ $((0x$base + 0x$entry)) -ne $((0x$symbol)) ]; then
  echo "the entry 0x$entry is not platformEntry (${symbol:-no symbol})"
  status=1
fi
# The characteristics that the loader acts on, as objdump names them.
header=$("$objdump" -p "$program")
wanted="DYNAMIC_BASE NX_COMPAT"
if echo "$header" | grep -q '^Magic[[:space:]]*020b'; then # PE32+: a 64-bit program
  wanted="$wanted HIGH_ENTROPY_VA"
fi
for characteristic in $wanted; do
  echo "$header" | grep -qw "$characteristic" || { echo "not $characteristic"; status=1; }
done
relocations=$(echo "$header" | awk '$1 == "Entry" && $2 == "5" { print $4 }')
[ $((0x${relocations:-0})) -gt 0 ] ||
  { echo "no relocations: the program can only load at its preferred address"; status=1; }
"$nm" "$program" | grep -qE ' T _?__stack_chk_fail$' || { echo "no stack canaries"; status=1; }

exit $status
