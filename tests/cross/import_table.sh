#!/bin/sh
# The Windows program's import table and entry, read with objdump: it imports
# from KERNEL32 and at most USER32 and ADVAPI32 (no C run-time DLL), and it
# starts at its own entry, platformEntry.
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
exit $status
