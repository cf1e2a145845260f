#!/usr/bin/env bash
# Mutation check of the tests: scripts/mutate.sh [--base REV] [--count N] [--seed S] [PATH...]
# Builds Release (as the test script does), then applies one small fault at a time at places sampled
# from the named sources (or those changed since REV), rebuilds and runs the test programs that link
# each, and reports the share caught with every miss as a diff (scripts/mutate.py --help).
# The tree is restored after each mutation and on every exit.
set -euo pipefail
cd "$(dirname "$0")/.."
case " $* " in
*" --list "* | *" -h "* | *" --help "*) exec python3 scripts/mutate.py "$@" ;;
esac
QV_BUILD_ONLY=1 scripts/test.sh
# shellcheck source=scripts/desktop.sh
source scripts/desktop.sh
python3 scripts/mutate.py --build "${QV_BUILD_DIR:-build-test}" "$@"
