#!/bin/sh
# Runs one Windows program under Wine for CMake and CTest: usage wine-run.sh --prefix DIR PROGRAM ARGS.
# Runs are serialised on the prefix, the prefix is created on first use, and a private Xvfb stands
# in when there is no display. The Wine server is ended after each run so that no Wine process
# outlives the display it was started on.
set -eu

if [ "${1:-}" != "--prefix" ] || [ $# -lt 3 ]; then
    echo "usage: $0 --prefix DIR PROGRAM [ARGS...]" >&2
    exit 2
fi
prefix=$2
shift 2

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is created.
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
if [ -z "${CORVALIS_WINE_LOCKED:-}" ]; then
    export CORVALIS_WINE_LOCKED=1
    exec flock "$prefix.lock" "$0" --prefix "$prefix" "$@"
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" "$0" --prefix "$prefix" "$@"
fi

if [ ! -f "$prefix/system.reg" ]; then
    wine wineboot -i >/dev/null 2>&1
    wineserver -w
fi

status=0
wine "$@" || status=$?
wineserver -k >/dev/null 2>&1 || true
exit "$status"
