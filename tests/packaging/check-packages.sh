#!/usr/bin/env bash
# Checks the release that scripts/package.sh left in dist/: the zip holds exactly its three files,
# and lintian finds no error in either Debian package (a package that is not there is an error too).
# What Corvalis.exe carries and does is tested on the Windows build (tests/win32), built the same way.
# Usage: tests/packaging/check-packages.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
diff <(unzip -Z1 dist/Corvalis-*-win64.zip | sort) <(printf '%s\n' Corvalis.exe LEIA-ME.txt Tol-Cloud.rdp)
lintian --fail-on error dist/corvalis_*.deb dist/corvalis-control-server_*.deb
