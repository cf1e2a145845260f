#!/usr/bin/env bash
# Mutation check of the tests: scripts/mutate.sh [--base REV] [--count N] [--seed S] [PATH...]
# Builds Release (as the test script does), then applies one small fault at a time at places sampled
# from the named sources (or those changed since REV), rebuilds and runs the test programs that link
# each, and reports the share caught with every miss as a diff (scripts/mutate.py --help).
# The tree is restored after each mutation and on every exit; SIGTERM, SIGINT or SIGHUP stop the run
# (the step under way and everything it started), restore the tree and print what was counted so far.
set -euo pipefail
cd "$(dirname "$0")/.."
case " $* " in
*" --list "* | *" -h "* | *" --help "*) exec python3 scripts/mutate.py "$@" ;;
esac

# Each step runs as a process group of its own, so a signal reaches all it started (the compilers
# of the build, the check itself), not only this shell, which would otherwise die and leave them.
stopped=0
child=
forward()
{
    stopped=1
    [ -n "$child" ] && kill -TERM -- "-$child" 2> /dev/null
    true
}
trap forward TERM INT HUP
step()
{
    local status
    setsid "$@" &
    child=$!
    while :; do
        status=0
        wait "$child" || status=$?
        kill -0 "$child" 2> /dev/null || break
    done
    child=
    [ "$stopped" = 0 ] || exit 143
    return "$status"
}

step env QV_BUILD_ONLY=1 scripts/test.sh
# shellcheck source=scripts/desktop.sh
source scripts/desktop.sh
step python3 scripts/mutate.py --build "${QV_BUILD_DIR:-build-test}" "$@"
