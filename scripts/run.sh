#!/usr/bin/env bash
# Installs what is missing, builds Release and starts Quorvantis. Extra arguments go to the
# application (e.g. --platform=sim).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_BENCH=OFF > /dev/null
cmake --build build --target quorvantis
exec build/src/quorvantis "$@"
