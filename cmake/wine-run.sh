#!/bin/sh
# Runs one Windows program under Wine for CMake and CTest:
#   wine-run.sh --prefix DIR [--again-if-silent] PROGRAM ARGS
#
# Runs are serialised on the prefix, and the prefix is created on first use. Without a display, a
# Wine session of Xvfb and a persistent Wine server is started in the background and shared by the
# runs that follow, since starting Wine afresh costs seconds per test; the session ends itself once
# no run has used it for a few seconds.
#
# --again-if-silent is for test programs, which always write to standard output first: one that
# fails having written nothing there never ran, for Wine failed to start it, and it is started once
# more.
set -eu

idle_seconds=5

if [ "${1:-}" = "--reap" ]; then
    prefix=$2
    session="$prefix.session"
    export WINEPREFIX="$prefix"
    while sleep 2; do
        # A build folder deleted under a session takes the session's lock and prefix with it.
        [ -d "$(dirname "$prefix")" ] || exit 0
        status=0
        flock -n -E 200 "$prefix.lock" sh -c '
            session=$1; idle=$2
            if kill -0 "$(cat "$session/xvfb.pid")" 2>/dev/null; then
                last=$(stat -c %Y "$session/last-use" 2>/dev/null || echo 0)
                [ $(( $(date +%s) - last )) -ge "$idle" ] || exit 1
            fi
            wineserver -k >/dev/null 2>&1 || true
            kill "$(cat "$session/xvfb.pid" 2>/dev/null)" 2>/dev/null || true
            rm -rf "$session"' sh "$session" "$idle_seconds" || status=$?
        [ "$status" -eq 0 ] && exit 0
    done
    exit 0
fi

if [ "${1:-}" != "--prefix" ] || [ $# -lt 3 ]; then
    echo "usage: $0 --prefix DIR [--again-if-silent] PROGRAM [ARGS...]" >&2
    exit 2
fi
prefix=$2
shift 2
session="$prefix.session"
again_if_silent=
if [ "$1" = "--again-if-silent" ]; then
    again_if_silent=1
    shift
fi

# Sets status to the program's exit status; its output still streams to the caller.
run_wine() {
    status=0
    if [ -z "$again_if_silent" ]; then
        wine "$@" || status=$?
        return
    fi
    output="$prefix.stdout.$$"
    for attempt in 1 2; do
        { wine "$@" || echo $? >"$output.status"; } | tee "$output"
        status=$(cat "$output.status" 2>/dev/null || echo 0)
        rm -f "$output.status"
        if [ "$status" -eq 0 ] || [ -s "$output" ]; then
            break
        fi
        if [ "$attempt" -eq 1 ]; then
            echo "wine-run.sh: $* ended with status $status before writing to standard output; starting it again" >&2
            echo "$*" >>"$prefix.restarts"
        fi
    done
    rm -f "$output"
}

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is created, and no entries in the Linux
# desktop's menu for the shortcuts that installers under test create.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

mkdir -p "$(dirname "$prefix")"
if [ -z "${CORVALIS_WINE_LOCKED:-}" ]; then
    export CORVALIS_WINE_LOCKED=1
    # -o: the lock stays with flock itself, never with a background process started below.
    exec flock -o "$prefix.lock" "$0" --prefix "$prefix" ${again_if_silent:+--again-if-silent} "$@"
fi

if [ ! -f "$prefix/system.reg" ]; then
    wine wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
fi

if [ -n "${DISPLAY:-}" ] && [ ! -f "$session/display" ]; then
    # The caller's own display: a plain run, and no Wine process outlives it.
    wineserver -k >/dev/null 2>&1 || true
    run_wine "$@"
    wineserver -k >/dev/null 2>&1 || true
    exit "$status"
fi

if ! { [ -f "$session/xvfb.pid" ] && kill -0 "$(cat "$session/xvfb.pid")" 2>/dev/null; }; then
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$session"
    mkdir -p "$session"
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -nolisten tcp \
        3>"$session/display.number" </dev/null >/dev/null 2>&1 &
    echo $! >"$session/xvfb.pid"
    tries=0
    while [ ! -s "$session/display.number" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            echo "wine-run.sh: Xvfb did not start" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo ":$(cat "$session/display.number")" >"$session/display"
    touch "$session/last-use"
    setsid wineserver -p </dev/null >/dev/null 2>&1
    # Wine's own services start now, away from the output pipe of whoever runs the tests: a
    # service holding that pipe would keep CTest waiting for the test to end.
    DISPLAY="$(cat "$session/display")" wine wineboot </dev/null >/dev/null 2>&1
    # Xvfb has no window manager, and Wine's X11 driver waits 2 s for one whenever it hides a
    # window it left to the manager (a program's main window as it closes, for one): here Wine
    # places its windows itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    setsid "$0" --reap "$prefix" </dev/null >/dev/null 2>&1 &
fi

export DISPLAY="$(cat "$session/display")"
run_wine "$@"
touch "$session/last-use"
exit "$status"
