#!/usr/bin/env bash
# Checks the release that scripts/package.sh left in dist/: the zip and the client's package hold
# exactly their files, and lintian finds no error in either Debian package (a package that is not
# there is an error too).
# What Corvalis.exe carries and does is tested on the Windows build (tests/win32), built the same way.
# Usage: tests/packaging/check-packages.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
diff <(unzip -Z1 dist/Corvalis-*-win64.zip | sort) <(printf '%s\n' Corvalis.exe LEIA-ME.txt Tol-Cloud.rdp)
# The client's package: the program with its connection file beside it, on the menu.
diff <(dpkg-deb -c dist/corvalis_*.deb | awk '!/^d/ {print $6}' | sort) <(printf './usr/%s\n' \
    bin/corvalis lib/corvalis/Tol-Cloud.rdp lib/corvalis/corvalis share/applications/corvalis.desktop \
    share/doc/corvalis/changelog.gz share/doc/corvalis/copyright \
    share/icons/hicolor/32x32/apps/corvalis.png share/man/man1/corvalis.1.gz)
lintian --fail-on error dist/corvalis_*.deb dist/corvalis-control-server_*.deb
