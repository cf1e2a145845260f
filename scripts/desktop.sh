# Sourced: gives the calling script a desktop of its own for the x11 tests, whatever DISPLAY holds:
# a private Xvfb (1440x900) with openbox and a private session bus, all ended when that script exits
# (its EXIT trap). The tests type keys, grab the keyboard and start panels, trays and terminals; none
# of that may happen on the desktop of the person who runs them.
# QV_TEST_DISPLAY=:N runs them on that display instead, on purpose: its window manager must leave the
# hotkeys the tests press (Alt+Tab) free, and what the tests start shows there.
# What the X server and the window manager say goes to a log each, kept for the whole run: a window
# manager that does not come up, or dies half-way, tells why (printed then, and at the end).
desktop_logs=$(mktemp -d)
desktop_cleanup()
{
    if [ -n "${wm_pid:-}" ] && ! kill -0 "$wm_pid" 2>/dev/null; then
        echo "the window manager (openbox) on ${DISPLAY:-?} ended before the run did; what it said:" >&2
        cat "$desktop_logs/openbox.log" >&2 2> /dev/null
    fi
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" "${wm_pid:-}" 2>/dev/null
    [ -n "${bus_pid:-}" ] && kill "$bus_pid" 2>/dev/null
    rm -rf "$desktop_logs"
    true
}
trap desktop_cleanup EXIT
# Nothing of the caller's session: its buses, its session manager, a Wayland compositor Qt would
# pick before the X server.
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS SESSION_MANAGER WAYLAND_DISPLAY
# A session bus of our own. Without one, the first program to ask for it has libdbus start one for
# the display and wait for its address on a pipe; a client program the tests start at that moment
# inherits the pipe, and the wait lasts as long as that program.
busfile=$(mktemp)
dbus-daemon --session --nofork --print-address=3 3> "$busfile" > /dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 100); do [ -s "$busfile" ] && break; sleep 0.1; done
[ -s "$busfile" ] || { echo "dbus-daemon did not start" >&2; exit 1; }
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$busfile")
export DBUS_SESSION_BUS_ADDRESS
rm -f "$busfile"
if [ -n "${QV_TEST_DISPLAY:-}" ]; then
    export DISPLAY=$QV_TEST_DISPLAY
else
    # Xvfb picks a free display itself, so runs on one machine do not meet on the same screen.
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1440x900x24 -nolisten tcp 3> "$displayfile" > "$desktop_logs/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 600); do [ -s "$displayfile" ] && break; sleep 0.1; done
    [ -s "$displayfile" ] || {
        echo "Xvfb did not start within 60 s; what it said:" >&2
        cat "$desktop_logs/xvfb.log" >&2
        exit 1
    }
    export DISPLAY=":$(head -n1 "$displayfile")"
    rm -f "$displayfile"
    # openbox without its own Alt+Tab binding, so the global switcher hotkey reaches us.
    rc=$(mktemp --suffix=.xml)
    sed -e '/<keybind key="A-Tab">/,/<\/keybind>/d' -e '/<keybind key="A-S-Tab">/,/<\/keybind>/d' \
        /etc/xdg/openbox/rc.xml > "$rc"
    # Its cache (a log, sessions) goes with the desktop, not into the home folder.
    XDG_CACHE_HOME=$desktop_logs openbox --config-file "$rc" > "$desktop_logs/openbox.log" 2>&1 &
    wm_pid=$!
fi
# The x11 tests need a window manager that already manages windows: without one they would fail
# one by one, each after its own wait. A loaded machine may take long to start one, so the wait is
# generous and says that it is still waiting; a window manager that ended is not waited for.
desktop_wm_wait=${QV_WM_WAIT:-120}
desktop_waited=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2> /dev/null | grep -q 'window id'; do
    if [ -n "${wm_pid:-}" ] && ! kill -0 "$wm_pid" 2> /dev/null; then
        echo "the window manager (openbox) on $DISPLAY ended before it managed windows; what it said:" >&2
        cat "$desktop_logs/openbox.log" >&2 2> /dev/null
        wm_pid=
        exit 1
    fi
    if [ "$desktop_waited" -ge $((desktop_wm_wait * 10)) ]; then
        echo "no window manager runs on $DISPLAY after $desktop_wm_wait s; what openbox said:" >&2
        cat "$desktop_logs/openbox.log" >&2 2> /dev/null
        exit 1
    fi
    [ "$desktop_waited" -gt 0 ] && [ $((desktop_waited % 100)) -eq 0 ] &&
        echo "waiting for the window manager on $DISPLAY ($((desktop_waited / 10)) s so far)" >&2
    sleep 0.1
    desktop_waited=$((desktop_waited + 1))
done
