#!/usr/bin/env bash
# Runs one fuzzing harness of fuzz/ for SECONDS: builds it with clang in the sanitizer build
# (QV_FUZZ_BUILD_DIR, default build-fuzz; the unit tests can be built and run there too, under the
# same sanitizers), then fuzzes from the committed seed corpus, keeping what it learns in a working
# corpus under the build folder. A crash, a leak, an input that takes more than
# 2 s or more than 2 GB fails the run; the input that did it is saved under <build>/artifacts and
# printed here (hex and base64), so a CI log alone is enough to reproduce it:
#   base64 -d > input <<< '...'; build-fuzz/fuzz/NAME input
# Usage: scripts/fuzz.sh NAME SECONDS      (scripts/fuzz.sh --list names the harnesses;
#        scripts/fuzz.sh --configure only configures the build folder)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${QV_FUZZ_BUILD_DIR:-build-fuzz}
jobs=${QV_FUZZ_JOBS:-$(nproc)}

if [ "${1:-}" = "--list" ]; then
    ls fuzz/corpus
    exit 0
fi
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQV_FUZZ=ON \
    -DQV_BUILD_BENCH=OFF > /dev/null
[ "${1:-}" = "--configure" ] && exit 0
name=${1:?usage: scripts/fuzz.sh NAME SECONDS}
seconds=${2:?usage: scripts/fuzz.sh NAME SECONDS}
[ -d "fuzz/corpus/$name" ] || { echo "no harness named $name (scripts/fuzz.sh --list)" >&2; exit 2; }

cmake --build "$build" -j "$jobs" --target "$name" > /dev/null

work="$build/corpus/$name"
artifacts="$build/artifacts"
mkdir -p "$work" "$artifacts"
rm -f "$artifacts/$name-"*

status=0
ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
LSAN_OPTIONS=suppressions=$PWD/.ci/lsan.supp:print_suppressions=0 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/$name" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name-" "$work" "fuzz/corpus/$name" || status=$?

if [ "$status" -ne 0 ]; then
    for input in "$artifacts/$name-"*; do
        [ -f "$input" ] || continue
        echo "=== $name failed on $input ($(stat -c %s "$input") bytes)"
        head -c 1024 "$input" | xxd
        echo "--- base64:"
        base64 -w 0 "$input"
        echo
    done
    exit "$status"
fi
