#!/usr/bin/env bash
# Runs the whole application, built with sanitizers, on a real X desktop of its own and drives it as
# a user would for MINUTES (scripts/sanitized-drive.py: XTEST pointer and keys, state read back from
# the server), then checks that it is still alive and answering, ends it, and fails on any sanitizer
# report.
#   scripts/sanitized-run.sh [--tsan] [MINUTES]      (default 3 minutes)
# Without --tsan: clang with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer, built
# in the sanitizer tree the unit tests and the fuzzing use (QV_FUZZ_BUILD_DIR, default
# build-sanitize), only the application. With --tsan: ThreadSanitizer, in its own tree (build-tsan).
# The desktop: Xvfb 1920x1080, openbox without its Alt+Tab binding, a private session bus with the
# accessibility bus, xfce4-panel (launchers and a task list along the bottom), trayer as the tray,
# xterms and an xclock, all in fresh HOME and XDG folders that are removed at the end.
# Reports and logs are kept under $QV_SANRUN_LOGS (default <build>/sanrun-logs).
set -euo pipefail

# All in one function, read whole before it runs: the script can be edited while a run goes on.
main()
{
    cd "$(dirname "$0")/.."
    repo=$PWD

    tsan=0
    if [ "${1:-}" = "--tsan" ]; then
        tsan=1
        shift
    fi
    minutes=${1:-3}
    jobs=${QV_SANRUN_JOBS:-3}

    # The build: only the application (and the small drag source the shelf drops come from).
    if [ $tsan = 1 ]; then
        build=${QV_TSAN_BUILD_DIR:-build-tsan}
        CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DQV_BUILD_TESTS=ON -DQV_BUILD_BENCH=OFF -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" \
            -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" > /dev/null
    else
        build=${QV_FUZZ_BUILD_DIR:-build-sanitize}
        QV_FUZZ_BUILD_DIR=$build scripts/fuzz.sh --configure
    fi
    cmake --build "$build" -j "$jobs" --target quorvantis qv_dragsource
    app=$repo/$build/src/quorvantis
    logs=${QV_SANRUN_LOGS:-$repo/$build/sanrun-logs}
    mkdir -p "$logs"
    # Only what an earlier run wrote goes: the folder may be one of the user's.
    (cd "$logs" && rm -f sanitizer.* app.log xvfb.log openbox.log dbus.log atspi.log panel.log trayer.log)

    for p in Xvfb openbox dbus-daemon xfce4-panel trayer xterm xclock xclip xprop xdotool; do
        command -v "$p" > /dev/null || { echo "missing $p (scripts/install-deps.sh)" >&2; exit 1; }
    done
    [ -x /usr/libexec/at-spi-bus-launcher ] || { echo "missing at-spi2-core" >&2; exit 1; }
    /usr/bin/python3 -c 'import Xlib.ext.xtest' 2> /dev/null ||
        { echo "missing python3-xlib" >&2; exit 1; }

    work=$(mktemp -d -t qv-sanrun.XXXXXX)
    pids=()
    cleanup()
    {
        local status=$? i
        # Newest first, so the buses outlive their clients.
        for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2> /dev/null || true; done
        for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2> /dev/null || true; done
        rm -rf "$work"
        exit "$status"
    }
    trap cleanup EXIT
    trap 'exit 130' INT TERM

    # Waits up to $1 tenths of a second for the command that follows to succeed.
    wait_for()
    {
        local tenths=$1
        shift
        for _ in $(seq "$tenths"); do "$@" > /dev/null 2>&1 && return 0; sleep 0.1; done
        "$@" > /dev/null 2>&1
    }

    export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache \
        XDG_STATE_HOME=$work/state XDG_DATA_HOME=$work/data XDG_RUNTIME_DIR=$work/run
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME" \
        "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    unset SESSION_MANAGER DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS

    # One panel along the bottom: two launchers and a task list (the x11 tests' panel too).
    panel=$XDG_CONFIG_HOME/xfce4
    mkdir -p "$panel/xfconf/xfce-perchannel-xml" "$panel/panel/launcher-1" "$panel/panel/launcher-2"
    sed 's/p=EDGE/p=8/' tests/support/xfce4-panel.xml \
        > "$panel/xfconf/xfce-perchannel-xml/xfce4-panel.xml"
    printf '[Desktop Entry]\nType=Application\nName=Terminal\nExec=xterm\n' \
        > "$panel/panel/launcher-1/terminal.desktop"
    printf '[Desktop Entry]\nType=Application\nName=Clock\nExec=xclock\n' \
        > "$panel/panel/launcher-2/clock.desktop"
    # The module hotkeys (Alt+C, Alt+S) are off until a user turns them on; this user has.
    mkdir -p "$XDG_CONFIG_HOME/Quorvantis"
    printf '{"enableModuleHotkeys": true, "hasUserChosenAppLanguage": true, "appLanguage": "English"}\n' \
        > "$XDG_CONFIG_HOME/Quorvantis/defaults.json"

    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3> "$work/display" > "$logs/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 100 test -s "$work/display" || { echo "Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n1 "$work/display")"
    sed -e '/<keybind key="A-Tab">/,/<\/keybind>/d' -e '/<keybind key="A-S-Tab">/,/<\/keybind>/d' \
        /etc/xdg/openbox/rc.xml > "$work/rc.xml"
    openbox --config-file "$work/rc.xml" > "$logs/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 100 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
        { echo "openbox did not start" >&2; exit 1; }

    dbus-daemon --session --nofork --print-address=3 3> "$work/bus" > "$logs/dbus.log" 2>&1 &
    pids+=($!)
    wait_for 100 test -s "$work/bus" || { echo "dbus-daemon did not start" >&2; exit 1; }
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus")
    export DBUS_SESSION_BUS_ADDRESS
    /usr/libexec/at-spi-bus-launcher --launch-immediately > "$logs/atspi.log" 2>&1 &
    pids+=($!)
    wait_for 100 sh -c 'dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus | grep -q "boolean true"' ||
        { echo "the accessibility bus did not start" >&2; exit 1; }
    xfce4-panel > "$logs/panel.log" 2>&1 &
    pids+=($!)
    trayer --edge top --align right --widthtype request --height 28 > "$logs/trayer.log" 2>&1 &
    pids+=($!)
    for i in 1 2 3; do
        xterm -T "term-$i" -geometry "80x20+$((80 + 160 * i))+$((120 + 60 * i))" -e sleep 100000 \
            > /dev/null 2>&1 &
        pids+=($!)
    done
    xclock -geometry 160x160+1500+200 > /dev/null 2>&1 &
    pids+=($!)
    # The task list has a button for each terminal once the panel has written their icon geometry.
    wait_for 300 sh -c 'for t in term-1 term-2 term-3; do
        w=$(xdotool search --name "^$t\$" | head -n1)
        xprop -id "$w" _NET_WM_ICON_GEOMETRY | grep -q "= " || exit 1; done' ||
        { echo "xfce4-panel shows no task buttons" >&2; exit 1; }

    # Sanitizer options: stop at the first report, write it under $logs, keep stacks readable. Leaks
    # that are not ours are suppressed by the name of a library or of one of its functions
    # (.ci/lsan.supp), which needs the whole stack of each allocation: the libraries are built without
    # frame pointers, and the fast unwinder stops at the first of their frames. The application checks
    # for leaks itself before it ends (main.cpp), and a leak fails the run like any other report.
    # ThreadSanitizer goes on after a report: the reports are sorted at the end (below); suppressed are
    # only those .ci/tsan.supp lists (a frame of ours on one side of a hand-over that is Qt's), each
    # with its reason.
    export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:fast_unwind_on_malloc=0:log_path=$logs/sanitizer
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:log_path=$logs/sanitizer
    # (In a ThreadSanitizer build, stopping at the first report of the options above would apply.)
    if [ $tsan = 1 ]; then unset UBSAN_OPTIONS ASAN_OPTIONS; fi
    export LSAN_OPTIONS=suppressions=$repo/.ci/lsan.supp:print_suppressions=0
    export TSAN_OPTIONS=halt_on_error=0:second_deadlock_stack=1:history_size=4:log_path=$logs/sanitizer:suppressions=$repo/.ci/tsan.supp

    "$app" --platform=x11 > "$logs/app.log" 2>&1 &
    app_pid=$!
    pids+=("$app_pid")
    echo "driving pid $app_pid on DISPLAY=$DISPLAY for $minutes minutes (logs: $logs)"

    drive_status=0
    /usr/bin/python3 scripts/sanitized-drive.py --pid "$app_pid" --minutes "$minutes" \
        --drag-source "$repo/$build/tests/qv_dragsource" ${QV_SANRUN_SEED:+--seed "$QV_SANRUN_SEED"} ||
        drive_status=$?

    # Ended as the session would end it; the application runs LeakSanitizer's check on its way out.
    status=0
    if kill -0 "$app_pid" 2> /dev/null; then
        kill -TERM "$app_pid"
        for _ in $(seq 300); do kill -0 "$app_pid" 2> /dev/null || break; sleep 0.1; done
        if kill -0 "$app_pid" 2> /dev/null; then
            echo "the application did not end within 30 s of SIGTERM" >&2
            kill -KILL "$app_pid"
            status=1
        fi
        wait "$app_pid" || {
            echo "the application exited with $?" >&2
            status=1
        }
    else
        echo "the application is gone" >&2
        status=1
    fi

    # Every AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer report counts; a
    # ThreadSanitizer one counts when our code made the accesses (those that stack only into Qt,
    # glib or libdbus, which are not built with it, are listed to be read).
    count=0
    /usr/bin/python3 scripts/sanitized-drive.py --reports "$logs" || count=$?
    echo "driver exit: $drive_status"
    if [ "$count" -ne 0 ] || [ "$drive_status" -ne 0 ] || [ $status -ne 0 ]; then
        echo "--- last lines of the application's log"
        tail -n 60 "$logs/app.log"
        exit 1
    fi
}

main "$@"; exit
