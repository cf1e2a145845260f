#!/usr/bin/env bash
# Builds and runs the widget tests (offscreen) with the screenshot hook on, and leaves every picture
# they render in build-test/screenshots/ for people to look at.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(pwd)/${QV_BUILD_DIR:-build-test}/screenshots"
rm -rf "$out"
mkdir -p "$out"
QV_SCREENSHOT_DIR="$out" scripts/test.sh -L widget
# The Super Panel as a compositor shows it, read back from the X server (skipped without picom).
GTEST_FILTER='*UnderPicom*' QV_SCREENSHOT_DIR="$out" scripts/test.sh -R '^test_app_widget_x11$'
echo "Pictures in $out:"
find "$out" -name '*.png' | sort
