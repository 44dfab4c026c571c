#!/usr/bin/env bash
# Checks the release that scripts/package.sh left in dist/: the zip holds exactly its three files,
# names the version Corvalis.exe carries, and its Corvalis.exe, run under Wine from the unzipped
# folder, creates pelmark.ini beside itself; lintian finds no error in either Debian package.
# Usage: tests/packaging/check-packages.sh [WINE-PREFIX]   (default: the Windows build's own)
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
prefix=$(realpath -m "${1:-build/mingw/wine-prefix}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

zip=$(ls dist/Corvalis-*-win64.zip)
version=${zip#dist/Corvalis-}
version=${version%-win64.zip}
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
[ "$listed" = "Corvalis.exe LEIA-ME.txt Tol-Cloud.rdp " ] || fail "the zip holds: $listed"

# A folder with a blank and an accent, as a user's own may have.
folder="$work/Área de trabalho/Corvalis"
mkdir -p "$folder"
unzip -q "$zip" -d "$folder"
x86_64-w64-mingw32-windres -i "$folder/Corvalis.exe" -O rc | grep "FILEVERSION ${version//./, }\$" >/dev/null ||
    fail "Corvalis.exe does not carry the version $version"
# A process group of its own, so that the client can be ended with whatever Wine started for it.
setsid cmake/wine-run.sh --prefix "$prefix" "$folder/Corvalis.exe" </dev/null &
client=$!
for _ in $(seq 600); do
    [ -e "$folder/pelmark.ini" ] && break
    sleep 0.1
done
kill -- "-$client"
wait "$client"
{ [ -f "$folder/pelmark.ini" ] && [ ! -s "$folder/pelmark.ini" ]; } ||
    fail "Corvalis.exe did not create an empty pelmark.ini beside itself"

for package in dist/corvalis_"$version"_*.deb dist/corvalis-control-server_"$version"_*.deb; do
    [ -f "$package" ] || fail "no package $package"
    lintian --fail-on error "$package" || fail "lintian finds errors in $package"
done

[ "$failures" -eq 0 ] && echo "packages: zip and lintian checks passed"
exit "$((failures > 0))"
