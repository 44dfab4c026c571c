#!/bin/sh
# Size and imports of the Windows client, and the Qt client's deployed size for comparison.
# usage: bench/win32/run.sh [CORVALIS_EXE] [QT_EXECUTABLE]
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
target_kib=600

first_existing() {
    for candidate in "$@"; do
        if [ -f "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

exe=${1:-$(first_existing "$root/build/mingw/src/win32/Corvalis.exe" \
    "$root/build-mingw/src/win32/Corvalis.exe" || true)}
if [ -z "$exe" ] || [ ! -f "$exe" ]; then
    echo "Corvalis.exe not found; build the mingw-w64 configuration first" >&2
    exit 1
fi

bytes=$(stat -c %s "$exe")
echo "Corvalis.exe: $exe"
echo "  size: $bytes bytes ($(( (bytes + 1023) / 1024 )) KiB; target under $target_kib KiB)"
echo "  imported DLLs:"
x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: /    /p'
runtime=$(x86_64-w64-mingw32-objdump -p "$exe" |
    grep -ciE 'DLL Name: (libstdc\+\+|libgcc|libwinpthread|Qt)' || true)
echo "  toolchain or Qt runtime DLLs among them: $runtime"

qt=${2:-$(first_existing "$root/build/native/src/qt/corvalis" "$root/build-qt/src/qt/corvalis" ||
    true)}
if [ -z "$qt" ] || [ ! -f "$qt" ]; then
    echo "Qt client: not built"
    exit 0
fi
qt_bytes=$(stat -c %s "$qt")
libraries=$(ldd "$qt" | awk '$3 ~ /^\// && $1 ~ /^libQt/ {print $3}')
library_bytes=0
for library in $libraries; do
    library_bytes=$((library_bytes + $(stat -L -c %s "$library")))
done
echo "Qt client: $qt"
echo "  executable: $qt_bytes bytes"
echo "  Qt shared libraries it links:"
for library in $libraries; do
    echo "    $(basename "$library") $(stat -L -c %s "$library") bytes"
done
total=$((qt_bytes + library_bytes))
echo "  deployed (executable + Qt libraries): $total bytes ($(( (total + 1023) / 1024 )) KiB)"
