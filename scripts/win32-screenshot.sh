#!/bin/sh
# Photographs Corvalis.exe under Wine and Xvfb at a given DPI, with Wine drawing the frame.
# usage: win32-screenshot.sh CORVALIS_EXE DPI OUTPUT_PNG [WINE_PREFIX]
set -eu

exe=$(realpath "$1")
dpi=$2
output=$(realpath -m "$3")
prefix=$(realpath -m "${4:-$(dirname "$exe")/wine-screenshot-prefix}")

export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
    wine wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/Corvalis Ação"
mkdir -p "$folder"
cp "$exe" "$folder/Corvalis.exe"
printf 'acme\r\n' >"$folder/pelmark.ini"

cat >"$work/shoot.sh" <<SHOOT
#!/bin/sh
set -eu
wine reg add "HKCU\\\\Control Panel\\\\Desktop" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
wine reg add "HKLM\\\\System\\\\CurrentControlSet\\\\Hardware Profiles\\\\Current\\\\Software\\\\Fonts" /v LogPixels /t REG_DWORD /d $dpi /f >/dev/null 2>&1
wineserver -w
wine explorer /desktop=corvalis,800x700 "$folder/Corvalis.exe" </dev/null >/dev/null 2>&1 &
sleep 6
import -window root "$work/desktop.png"
wineserver -k
SHOOT
chmod +x "$work/shoot.sh"
xvfb-run -a -s "-screen 0 800x700x24 -nolisten tcp" "$work/shoot.sh"
# The virtual desktop's plain background frames the window; cut it away.
convert "$work/desktop.png" -fuzz 2% -trim +repage "$output"
echo "$output"
