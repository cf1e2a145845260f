#!/usr/bin/env bash
# Installs what is missing, builds Release with warnings as errors and runs every test.
# The x11 tests run on a private Xvfb with openbox of their own, whatever DISPLAY holds
# (scripts/desktop.sh; QV_TEST_DISPLAY=:N picks another display on purpose).
# Extra arguments go to ctest (e.g. -L unit, -R NAME, --repeat until-pass:2).
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
# A label or pattern that matches nothing is an error, not a pass.
log=$(mktemp)
status=0
ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2 "$@" 2>&1 | tee "$log" || status=$?
# A test that failed and then passed when run again (--repeat until-pass) leaves the run green: it
# is named here, so it is not lost in the log.
flaky=$(grep -oE 'Test +#[0-9]+: [^ ]+ \.* *(\*\*\*[A-Za-z]+|Passed)' "$log" |
    awk '{ if ($0 ~ /\*\*\*/) failed[$3] = 1; else passed[$3] = 1 }
         END { for (t in failed) if (t in passed) print t }' | sort | tr '\n' ' ')
rm -f "$log"
[ -z "$flaky" ] || echo "flaky: failed, then passed when run again: $flaky"
[ "$status" -eq 0 ] || exit "$status"

# QV_RUN_BENCHMARKS=1: every benchmark runs once as well, briefly, under the same display (the X11
# ones need it). A benchmark that cannot measure what it names fails (its program exits non-zero);
# the run fails after all have run.
if [ "${QV_RUN_BENCHMARKS:-0}" = 1 ]; then
    failed=()
    for b in "$build"/bench/*_bench; do
        [ -x "$b" ] || continue
        name=$(basename "$b")
        case $name in
        x11dock_bench)
            echo "=== $name left out: it reads a panel on the accessibility bus, which this desktop does not run"
            continue
            ;;
        esac
        echo "=== $name"
        "$b" --benchmark_min_time=0.01 || failed+=("$name")
    done
    if [ ${#failed[@]} -gt 0 ]; then
        echo "benchmarks that did not measure what they name: ${failed[*]}" >&2
        exit 1
    fi
fi
