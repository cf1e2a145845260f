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

# shellcheck source=scripts/desktop.sh
source scripts/desktop.sh
ctest --test-dir "$build" --output-on-failure -j 2 "$@"
# QV_RUN_BENCHMARKS=1: every benchmark runs once as well, briefly, under the same display (the X11
# ones need it; without a display they say so and skip).
if [ "${QV_RUN_BENCHMARKS:-0}" = 1 ]; then
    for b in "$build"/bench/*_bench; do
        if [ -x "$b" ]; then "$b" --benchmark_min_time=0.01 > /dev/null; fi
    done
fi
