#!/bin/sh
# Corvalis.exe as it ships: it imports only DLLs that are part of Windows, and carries the project's
# version, its icon, and the manifest for common controls 6 and per-monitor DPI as resource 1.
# usage: check_exe.sh OBJDUMP WINDRES CORVALIS_EXE VERSION
set -eu
imports=$("$1" -p "$3" | sed -n 's/^\tDLL Name: //p')
others=$(printf '%s\n' $imports |
    grep -vixE '(advapi32|comctl32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|user32|ws2_32)\.dll' || true)
[ -n "$imports" ] && [ -z "$others" ] || { echo "not part of Windows: ${others:-no imports?}" >&2; exit 1; }
resources=$("$2" -J coff -O rc -i "$3")
for wanted in "FILEVERSION $(echo "$4" | sed 's/\./, /g')" '/* RT_GROUP_ICON */' '1 24 /* RT_MANIFEST */' \
    'name=""Microsoft.Windows.Common-Controls"" version=""6.0.0.0""' '>PerMonitorV2'; do
    printf '%s\n' "$resources" | grep -qF "$wanted" || { echo "missing: $wanted" >&2; exit 1; }
done
