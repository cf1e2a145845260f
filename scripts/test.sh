#!/usr/bin/env bash
# Installs what is missing, builds Release with warnings as errors and runs every test.
# The x11 tests need an X display: when none is set, a private Xvfb with openbox is started.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${QV_BUILD_DIR:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_WERROR=ON > /dev/null
cmake --build "$build" -j "$(nproc)"

cleanup() { [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" "${wm_pid:-}" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:97
    Xvfb "$DISPLAY" -screen 0 1440x900x24 -nolisten tcp > /dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do xdpyinfo > /dev/null 2>&1 && break; sleep 0.1; done
    # openbox without its own Alt+Tab binding, so the global switcher hotkey reaches us.
    rc=$(mktemp --suffix=.xml)
    sed -e '/<keybind key="A-Tab">/,/<\/keybind>/d' -e '/<keybind key="A-S-Tab">/,/<\/keybind>/d' \
        /etc/xdg/openbox/rc.xml > "$rc"
    openbox --config-file "$rc" > /dev/null 2>&1 &
    wm_pid=$!
    sleep 0.5
fi
ctest --test-dir "$build" --output-on-failure -j 2 "$@"
