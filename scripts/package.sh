#!/usr/bin/env bash
# Makes the release in dist/: Corvalis-<version>-win64.zip (unzip anywhere writable, run
# Corvalis.exe), Corvalis-<version>-x64.msi (the same client installed for one user, without
# elevation, in %LOCALAPPDATA%\Programs\Corvalis), corvalis_<version>_amd64.deb (the Qt client) and
# corvalis-control-server_<version>_amd64.deb (the control server as a systemd service).
# The version is the project's, from the top-level CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
checkout=$PWD
scripts/install-deps.sh test
umask 022

maintainer=${CORVALIS_MAINTAINER:-"Corvalis <suporte@corvalis.invalid>"}
native=build/package-native
mingw=build/package-mingw

# The packaged client keeps pelmark.ini in the user's config folder: /usr is not its users' to write.
# Debian's hardening flags, as its own packages are built.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIS_BUILD_TESTS=OFF \
    -DCORVALIS_SETTINGS_IN_USER_CONFIG=ON \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$native" --target corvalis corvalis-control-server
cmake -S . -B "$mingw" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$checkout/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCORVALIS_BUILD_TESTS=OFF >/dev/null
cmake --build "$mingw" --target Corvalis
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$native/CMakeCache.txt")
architecture=$(dpkg --print-architecture)
# The release the packages are built on and for: its code name, and where its systemd looks for units
# (/usr/lib/systemd/system once /usr is merged, /lib/systemd/system before).
distribution=$(. /etc/os-release && echo "${VERSION_CODENAME:-unstable}")
unit_dir=$(pkg-config --variable=systemdsystemunitdir systemd)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf dist
mkdir dist

# Windows: the folder "cmake --install" lays out, and a note for whoever unzips it (Notepad's
# Windows-1252 and CR LF).
mkdir "$stage/win64"
cmake --install "$mingw" --prefix "$stage/win64" >/dev/null
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' packaging/LEIA-ME.txt |
    iconv -f UTF-8 -t WINDOWS-1252 >"$stage/win64/LEIA-ME.txt"
(cd "$stage/win64" && zip -q -X "$checkout/dist/Corvalis-$version-win64.zip" \
    Corvalis.exe Tol-Cloud.rdp LEIA-ME.txt)
cp assets/corvalis.ico "$stage/win64/"
(cd "$stage/win64" && wixl -a x64 -D Version="$version" -o "$checkout/dist/Corvalis-$version-x64.msi" \
    "$checkout/packaging/corvalis.wxs")

# dpkg-shlibdeps finds each package's tree under debian/ beside a control file.
mkdir "$stage/debian"
printf 'Source: corvalis\n\nPackage: %s\nArchitecture: any\n' corvalis corvalis-control-server >"$stage/debian/control"

# Usage: make_deb PACKAGE SUMMARY DESCRIPTION CONTROL-FIELDS...; the tree is $stage/debian/PACKAGE.
make_deb() {
    local package=$1 summary=$2 description=$3
    shift 3
    local tree=$stage/debian/$package doc=$stage/debian/$package/usr/share/doc/$package
    install -D -m 644 packaging/copyright "$doc/copyright"
    printf '%s (%s) %s; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
        "$package" "$version" "$distribution" "$version" "$maintainer" "$(date -R -d "@$(git log -1 --format=%ct 2>/dev/null || date +%s)")" |
        gzip -9n >"$doc/changelog.gz"
    mkdir -p "$tree/DEBIAN"
    local binaries depends
    binaries=$(find "$tree" -path "$tree/DEBIAN" -prune -o -type f -perm -u+x -print)
    # shellcheck disable=SC2086
    strip --remove-section=.comment --remove-section=.note --strip-unneeded $binaries
    # shellcheck disable=SC2086
    depends=$(cd "$stage" && dpkg-shlibdeps -O -e ${binaries//$stage\//} | sed 's/^shlibs:Depends=//')
    {
        echo "Package: $package"
        echo "Version: $version"
        echo "Architecture: $architecture"
        echo "Maintainer: $maintainer"
        echo "Installed-Size: $(du -sk --exclude=DEBIAN "$tree" | cut -f1)"
        printf '%s\n' "$@" | sed "s/^Depends: /Depends: $depends, /"
        echo "Section: net"
        echo "Priority: optional"
        echo "Description: $summary"
        fold -s -w 78 <<<"$description" | sed 's/^/ /; s/ *$//'
    } >"$tree/DEBIAN/control"
    (cd "$tree" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
        xargs -0 md5sum >DEBIAN/md5sums)
    dpkg-deb --root-owner-group -Zxz --build "$tree" "dist/${package}_${version}_$architecture.deb" >/dev/null
}

# Usage: install_man_page SOURCE TREE
install_man_page() {
    mkdir -p "$2/usr/share/man/man1"
    sed "s/@VERSION@/$version/" "$1" | gzip -9n >"$2/usr/share/man/man1/$(basename "$1").gz"
}

# The client in a folder of its own, its connection file beside it.
client=$stage/debian/corvalis
install -D -m 755 "$native/src/qt/corvalis" "$client/usr/lib/corvalis/corvalis"
install -m 644 assets/Tol-Cloud.rdp "$client/usr/lib/corvalis/"
mkdir -p "$client/usr/bin"
ln -s ../lib/corvalis/corvalis "$client/usr/bin/corvalis"
install -D -m 644 packaging/corvalis.desktop "$client/usr/share/applications/corvalis.desktop"
install -D -m 644 assets/icon.png "$client/usr/share/icons/hicolor/32x32/apps/corvalis.png"
install_man_page packaging/corvalis.1 "$client"
make_deb corvalis "client for reaching the company's hosted servers" \
    "Type the company identification and press Conectar: the client asks the control server where the company's server is, then starts FreeRDP on it or opens its web application. The last identification is kept in ~/.config/corvalis/pelmark.ini." \
    "Depends: qt6-qpa-plugins" "Recommends: freerdp3-x11 | freerdp2-x11 | freerdp3-sdl"

# The server reads the table in /etc, the operator's to edit; the service starts it on 127.0.0.1.
# procps brings /bin/kill, which the service's reload runs.
server=$stage/debian/corvalis-control-server
server_doc=$server/usr/share/doc/corvalis-control-server
install -D -m 755 "$native/tools/control-server/corvalis-control-server" \
    "$server/usr/bin/corvalis-control-server"
install -D -m 644 tools/control-server/sample-table.txt "$server/etc/corvalis/table.txt"
install -D -m 644 tools/control-server/sample-table.txt "$server_doc/sample-table.txt"
install -m 644 tools/control-server/README.md "$server_doc/README.md"
install -D -m 644 packaging/control-server/corvalis-control-server.service \
    "$server$unit_dir/corvalis-control-server.service"
install_man_page packaging/control-server/corvalis-control-server.1 "$server"
mkdir -p "$server/DEBIAN"
install -m 755 packaging/control-server/postinst packaging/control-server/prerm \
    packaging/control-server/postrm "$server/DEBIAN/"
echo /etc/corvalis/table.txt >"$server/DEBIAN/conffiles"
make_deb corvalis-control-server "control server for Corvalis clients" \
    "Tells each Corvalis client where its company's server is, from the table in /etc/corvalis/table.txt (reloaded on systemctl reload). The service listens on 127.0.0.1, port 20404, until told otherwise." \
    "Depends: init-system-helpers (>= 1.54~), procps"

ls -l dist
