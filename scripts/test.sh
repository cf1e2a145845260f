#!/usr/bin/env bash
# Installs what is missing, builds Release with warnings as errors and runs every test.
# The x11 tests need an X display: when none is set, a private Xvfb with openbox is started.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${QV_BUILD_DIR:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_WERROR=ON > /dev/null
cmake --build "$build" -j "$(nproc)"
# QV_BUILD_ONLY=1: stop after the build (CI times the build and the tests apart).
[ "${QV_BUILD_ONLY:-0}" = 1 ] && exit 0

cleanup()
{
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" "${wm_pid:-}" 2>/dev/null
    [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null
    true
}
trap cleanup EXIT
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    # A session bus of our own. Without one, the first program to ask for it has libdbus start one
    # for the display and wait for its address on a pipe; a client program the tests start at that
    # moment inherits the pipe, and the wait lasts as long as that program.
    busfile=$(mktemp)
    dbus-daemon --session --nofork --print-address=3 3> "$busfile" > /dev/null 2>&1 &
    bus_pid=$!
    for _ in $(seq 100); do [ -s "$busfile" ] && break; sleep 0.1; done
    [ -s "$busfile" ] || { echo "dbus-daemon did not start" >&2; exit 1; }
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$busfile")
    export DBUS_SESSION_BUS_ADDRESS
    rm -f "$busfile"
fi
if [ -z "${DISPLAY:-}" ]; then
    # Xvfb picks a free display itself, so runs on one machine do not meet on the same screen.
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1440x900x24 -nolisten tcp 3> "$displayfile" > /dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
    [ -s "$displayfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n1 "$displayfile")"
    rm -f "$displayfile"
    # openbox without its own Alt+Tab binding, so the global switcher hotkey reaches us.
    rc=$(mktemp --suffix=.xml)
    sed -e '/<keybind key="A-Tab">/,/<\/keybind>/d' -e '/<keybind key="A-S-Tab">/,/<\/keybind>/d' \
        /etc/xdg/openbox/rc.xml > "$rc"
    openbox --config-file "$rc" > /dev/null 2>&1 &
    wm_pid=$!
    # The x11 tests need a window manager that already manages windows.
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id' && break
        sleep 0.1
    done
fi
ctest --test-dir "$build" --output-on-failure -j 2 "$@"
# QV_RUN_BENCHMARKS=1: every benchmark runs once as well, briefly, under the same display (the X11
# ones need it; without a display they say so and skip).
if [ "${QV_RUN_BENCHMARKS:-0}" = 1 ]; then
    for b in "$build"/bench/*_bench; do
        if [ -x "$b" ]; then "$b" --benchmark_min_time=0.01 > /dev/null; fi
    done
fi
