#!/bin/sh
# Corvalis.exe must run with nothing beside it: every DLL it imports must be part of Windows.
# usage: check_imports.sh OBJDUMP CORVALIS_EXE
set -eu
objdump=$1
exe=$2
system_dlls="advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll
shell32.dll user32.dll ws2_32.dll"

imports=$("$objdump" -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z')
if [ -z "$imports" ]; then
    echo "no import table found in $exe" >&2
    exit 1
fi
status=0
for dll in $imports; do
    case " $(echo $system_dlls) " in
        *" $dll "*) echo "system: $dll" ;;
        *) echo "not a system DLL: $dll" >&2; status=1 ;;
    esac
done
exit "$status"
