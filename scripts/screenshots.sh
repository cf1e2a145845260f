#!/usr/bin/env bash
# Builds and runs the widget tests offscreen with the screenshot hook on, and leaves every picture
# they render in build-test/screenshots/ for people to look at.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${QV_BUILD_DIR:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_WERROR=ON > /dev/null
cmake --build "$build" -j "$(nproc)"
out="$(pwd)/$build/screenshots"
rm -rf "$out"
mkdir -p "$out"
QV_SCREENSHOT_DIR="$out" QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -L widget
echo "Pictures in $out:"
find "$out" -name '*.png' | sort
