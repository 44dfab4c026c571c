#!/usr/bin/env bash
# The MSI that scripts/package.sh left in dist/, under Wine's msiexec: it installs for the user into
# %LOCALAPPDATA%\Programs\Corvalis with a Start-menu shortcut and an uninstall entry; the program it
# installs starts there and makes pelmark.ini beside itself; the next release (the last field of the
# version one higher) replaces it and keeps pelmark.ini; uninstalling leaves only pelmark.ini.
# Usage: tests/packaging/check-msi.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
unset DISPLAY # the Wine session's own Xvfb, where a started program outlives the run that started it
msi=$PWD/$(echo dist/Corvalis-*-x64.msi)
version=$(basename "$msi" -x64.msi | cut -d- -f2)
next=${version%.*}.$((${version##*.} + 1))
prefix=$PWD/build/package-wine/prefix
run() { sh cmake/wine-run.sh --prefix "$prefix" "$@" | tr -d '\r'; }
# "<version> <product code>" of each Corvalis in Apps & features; Wine keeps them all under HKLM.
entries() {
    run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
        awk '/^HKEY/ {n = 0} /DisplayName +REG_SZ +Corvalis$/ {n = 1} n && /DisplayVersion/ {v = $3}
             n && /UninstallString +REG_EXPAND_SZ +MsiExec.exe \/X\{/ {print v, substr($4, 3)}'
}
files=$(mktemp -d -p "$PWD/build")
trap 'run msiexec /x "Z:$files/next.msi" /qn || true; run msiexec /x "Z:$msi" /qn || true; rm -rf "$files"' EXIT
cp assets/corvalis.ico "$files/" && unzip -q dist/Corvalis-*-win64.zip -d "$files"
(cd "$files" && wixl -a x64 -D Version="$next" -o next.msi "$OLDPWD/packaging/corvalis.wxs")
local_data=$(run cmd /c 'echo %LOCALAPPDATA%' | sed 's|^C:|drive_c|; s|\\|/|g')
folder=$prefix/$local_data/Programs/Corvalis
shortcut=$prefix/${local_data%/Local}/Roaming/Microsoft/Windows/Start\ Menu/Programs/Corvalis.lnk
rm -rf "$folder"

run msiexec /i "Z:$msi" /qn
diff <(ls "$folder") <(printf '%s\n' Corvalis.exe Tol-Cloud.rdp)
cmp "$folder/Corvalis.exe" "$files/Corvalis.exe" && cmp "$folder/Tol-Cloud.rdp" "$files/Tol-Cloud.rdp"
grep -qaF 'AppData\Local\Programs\Corvalis\Corvalis.exe' "$shortcut"
[[ "$(entries)" =~ ^$version\ \{[-0-9A-F]+\}$ ]]
setsid sh cmake/wine-run.sh --prefix "$prefix" "$folder/Corvalis.exe" &
for _ in $(seq 200); do [ -e "$folder/pelmark.ini" ] || sleep 0.1; done
{ kill -- "-$!"; wait "$!"; } || true
[ -e "$folder/pelmark.ini" ] && [ ! -s "$folder/pelmark.ini" ]
printf 'acme\r\n' >"$folder/pelmark.ini"

run msiexec /i "Z:$files/next.msi" /qn
[[ "$(entries)" =~ ^$next\ \{[-0-9A-F]+\}$ ]]
diff <(ls "$folder") <(printf '%s\n' Corvalis.exe Tol-Cloud.rdp pelmark.ini)
[ "$(cat "$folder/pelmark.ini")" = $'acme\r' ]
run msiexec /x "$(entries | cut -d' ' -f2)" /qn
[ -z "$(entries)" ] && [ ! -e "$shortcut" ]
diff <(ls "$folder") <(echo pelmark.ini)
