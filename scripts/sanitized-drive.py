#!/usr/bin/python3
# Drives a running Quorvantis on its X desktop as a user would, for a number of minutes: the pointer
# and the keys go through XTEST (raw motion reaches the program, unlike a warp), and what happened is
# read back from the server (our windows found by their _NET_WM_PID). Started by
# scripts/sanitized-run.sh, which owns the desktop; it needs /usr/bin/python3 with python3-xlib.
# Each step is picked at random from a seed that is printed (QV_SANRUN_SEED=N makes the same choices
# again; the timing of the program may still differ).
# Ends with a hover that must still map the bubble, and a _NET_WM_PING the program must answer.
# A step that does not happen (no tray icon, no bubble at the first hover, a tray menu, a panel or a
# settings window that does not open, a Super Panel that its hotkey pressed again does not close, a
# shortcut recorded and confirmed that the program did not store or that opens no Super Panel, a
# drop that adds nothing to the shelf) is a failure too: the run goes on, and fails at its end. The
# Super Panel's hotkey is the one the program stored (its settings file), never one assumed.
# Exit status: 0 when every step happened and the program lived through it all and still answers,
# 1 otherwise.
import argparse
import json
import os
import random
import re
import select
import struct
import subprocess
import sys
import time
import zlib

from Xlib import X, XK, display, protocol
from Xlib.error import XError
from Xlib.ext import xtest

args = None
d = None
root = None
W = H = 0
started = 0.0


def log(message):
    line = '%7.1f %s' % (time.monotonic() - started, message)
    print(line, flush=True)


failures = []


def fail(message):
    """A step that did not happen: said at once, and the run fails at its end."""
    failures.append(message)
    log('FAIL: ' + message)


def atom(name):
    return d.intern_atom(name)


def alive():
    try:
        with open('/proc/%d/stat' % args.pid) as f:
            return f.read().split(') ')[1][0] not in 'ZX'
    except OSError:
        return False


class Gone(Exception):
    pass


def check_alive():
    if not alive():
        raise Gone()


# --- input through XTEST ------------------------------------------------------------------------

pointer = [0, 0]  # where the last fake motion put it


def move(x, y, steps=1, pause=0.015):
    x0, y0 = pointer
    for i in range(1, steps + 1):
        px = int(x0 + (x - x0) * i / steps)
        py = int(y0 + (y - y0) * i / steps)
        xtest.fake_input(d, X.MotionNotify, x=max(0, min(W - 1, px)), y=max(0, min(H - 1, py)))
        d.sync()
        time.sleep(pause)
    pointer[0], pointer[1] = x, y


def button(down, number=1):
    xtest.fake_input(d, X.ButtonPress if down else X.ButtonRelease, number)
    d.sync()


def click(x=None, y=None, number=1):
    if x is not None:
        move(x, y, steps=8)
        time.sleep(0.08)
    button(True, number)
    time.sleep(0.04)
    button(False, number)
    time.sleep(0.05)


def keycode(name):
    sym = XK.string_to_keysym(name)
    if sym == 0 and len(name) == 1:
        sym = ord(name)
    return d.keysym_to_keycode(sym)


def key_event(name, down):
    code = keycode(name)
    if code:
        xtest.fake_input(d, X.KeyPress if down else X.KeyRelease, code)
        d.sync()


def key(combo, pause=0.06):
    """'Alt_L+Tab', 'Escape', 'Control_L+Alt_L+g'"""
    parts = combo.split('+')
    for p in parts:
        key_event(p, True)
        time.sleep(0.02)
    for p in reversed(parts):
        key_event(p, False)
        time.sleep(0.02)
    time.sleep(pause)


def type_text(text):
    for ch in text:
        name = {' ': 'space', '.': 'period', '-': 'minus'}.get(ch, ch)
        key(name, pause=0.03)


def release_everything():
    for name in ('Alt_L', 'Control_L', 'Shift_L', 'Super_L'):
        key_event(name, False)
    for b in (1, 2, 3):
        button(False, b)


# --- what the server says -----------------------------------------------------------------------

def prop(window, name, type_=X.AnyPropertyType):
    try:
        reply = window.get_full_property(atom(name), type_)
        return reply.value if reply else None
    except XError:
        return None


def our_windows():
    """(window, x, y, w, h, viewable, override_redirect) of every window of the program."""
    found = []

    def walk(window, depth):
        try:
            children = window.query_tree().children
        except XError:
            return
        for child in children:
            pid = prop(child, '_NET_WM_PID')
            if pid is not None and len(pid) and int(pid[0]) == args.pid:
                try:
                    attrs = child.get_attributes()
                    geo = child.get_geometry()
                    at = child.translate_coords(root, 0, 0)
                    found.append((child, -at.x, -at.y, geo.width, geo.height,
                                  attrs.map_state == X.IsViewable, attrs.override_redirect))
                except XError:
                    pass
            elif depth < 3:
                walk(child, depth + 1)

    walk(root, 0)
    return found


def bubble_rect():
    """The bubble: a mapped window of ours just above the bottom panel, far smaller than the screen."""
    for w, x, y, width, height, viewable, override in our_windows():
        if viewable and 120 <= width < W * 0.9 and 60 <= height < 500 and y + height > H - 420:
            return (x, y, width, height)
    return None


def full_screen_shown():
    for w, x, y, width, height, viewable, override in our_windows():
        if viewable and width >= W * 0.9 and height >= H * 0.9:
            return True
    return False


def settings_window():
    for w, x, y, width, height, viewable, override in our_windows():
        if viewable and not override and 400 <= width < W * 0.9 and 500 <= height < H * 0.95:
            return (w, x, y, width, height)
    return None


def menu_rect():
    for w, x, y, width, height, viewable, override in our_windows():
        if viewable and override and 60 <= width < 600 and 40 <= height < 600 and y < H // 2:
            return (x, y, width, height)
    return None


def tray_icon():
    for w, x, y, width, height, viewable, override in our_windows():
        if viewable and width <= 64 and height <= 64:
            return (x + width // 2, y + height // 2)
    return None


def wait_for(predicate, seconds):
    end = time.monotonic() + seconds
    while True:
        value = predicate()
        if value or time.monotonic() > end:
            return value
        check_alive()
        time.sleep(0.05)


def clients():
    """{title: window} of the managed clients the window manager lists."""
    result = {}
    ids = prop(root, '_NET_CLIENT_LIST') or []
    for wid in ids:
        w = d.create_resource_object('window', wid)
        name = prop(w, '_NET_WM_NAME') or prop(w, 'WM_NAME')
        if isinstance(name, bytes):
            name = name.decode('utf-8', 'replace')
        if name:
            result[name] = w
    return result


def task_buttons():
    """Centres of the panel's task buttons of our terminals, from _NET_WM_ICON_GEOMETRY."""
    centres = []
    for title, w in clients().items():
        if not title.startswith('term-'):
            continue
        g = prop(w, '_NET_WM_ICON_GEOMETRY')
        if g and len(g) == 4 and g[2] > 0:
            centres.append((g[0] + g[2] // 2, g[1] + g[3] // 2))
    return sorted(centres)


def ping():
    """A _NET_WM_PING to one of our windows; True when the program's loop answered it."""
    net_wm_ping = atom('_NET_WM_PING')
    protocols = atom('WM_PROTOCOLS')
    target = None
    for w, *_ in our_windows():
        p = prop(w, 'WM_PROTOCOLS')
        if p is not None and net_wm_ping in list(p):
            target = w
            break
    if target is None:
        log('no window of ours takes _NET_WM_PING')
        return False
    # Qt answers to the root with StructureNotify | SubstructureRedirect.
    root.change_attributes(event_mask=X.StructureNotifyMask)
    stamp = int(time.monotonic() * 1000) & 0x7fffffff
    event = protocol.event.ClientMessage(window=target, client_type=protocols,
                                         data=(32, [net_wm_ping, stamp, target.id, 0, 0]))
    target.send_event(event, event_mask=0)
    d.flush()
    end = time.monotonic() + 10
    while time.monotonic() < end:
        while d.pending_events():
            e = d.next_event()
            if (e.type == X.ClientMessage and e.client_type == protocols and e.data[1][0] == net_wm_ping
                    and e.data[1][1] == stamp):
                root.change_attributes(event_mask=0)
                return True
        select.select([d], [], [], 0.2)
    root.change_attributes(event_mask=0)
    return False


# --- things a user does -------------------------------------------------------------------------

counts = {}


def count(name):
    counts[name] = counts.get(name, 0) + 1


def hover_rest():
    buttons = task_buttons()
    if not buttons:
        return
    x, y = random.choice(buttons)
    move(x, y, steps=12)
    if wait_for(bubble_rect, 6):
        count('bubble shown')
    time.sleep(random.uniform(0.3, 1.5))


def hover_sweep():
    buttons = task_buttons()
    if not buttons:
        return
    for x, y in buttons + list(reversed(buttons)):
        move(x + random.randint(-10, 10), y, steps=6)
        time.sleep(random.uniform(0.05, 0.5))
    count('sweeps')


def hover_leave():
    hover_rest()
    move(random.randint(300, W - 300), random.randint(200, H - 300), steps=10)
    wait_for(lambda: not bubble_rect(), 3)
    count('hover left')


def bubble_cards():
    hover_rest()
    rect = bubble_rect()
    if not rect:
        return
    x, y, w, h = rect
    # Into the bubble and over its cards, resting on the buttons in their top corners.
    for _ in range(random.randint(2, 5)):
        move(x + random.randint(10, w - 10), y + random.randint(10, h - 10), steps=6)
        time.sleep(random.uniform(0.1, 0.4))
    move(x + w - 30, y + 30, steps=4)
    time.sleep(0.3)
    if random.random() < 0.5:
        # A card dragged out of the bubble, then let go.
        move(x + w // 2, y + h // 2, steps=4)
        time.sleep(0.2)
        button(True)
        move(x + w // 2 + random.randint(-300, 300), y - random.randint(100, 400), steps=20)
        time.sleep(0.3)
        button(False)
        count('card drags')
    else:
        click(x + random.randint(20, w - 20), y + random.randint(20, h - 20))
        count('card clicks')
    time.sleep(0.3)
    escape_everything()


def escape_everything():
    release_everything()
    for _ in range(3):
        if not full_screen_shown() and not menu_rect():
            break
        key('Escape', pause=0.3)
    move(W // 2 + random.randint(-200, 200), H // 3, steps=6)


def switcher_press(combo, repeats=0):
    """The switcher's hotkey: modifiers held, the key pressed 1 + repeats times, modifiers let go."""
    *modifiers, last = combo.split('+')
    for m in modifiers:
        key_event(m, True)
        time.sleep(0.03)
    for _ in range(1 + repeats):
        key(last, pause=0.15)
    for m in reversed(modifiers):
        key_event(m, False)
    time.sleep(0.05)


def super_panel():
    combo = stored_switcher()
    if ' ' in combo or stored_setting('isRecordingShortcut'):
        fail('the Super Panel has no hotkey to press: %s stored, recording %s'
             % (combo, stored_setting('isRecordingShortcut')))
        return
    *modifiers, last = combo.split('+')
    for m in modifiers:
        key_event(m, True)
    key(last)
    if not wait_for(full_screen_shown, 5):
        for m in reversed(modifiers):
            key_event(m, False)
        fail('%s showed no Super Panel (stored: %s, recording %s)'
             % (combo, stored_switcher(), stored_setting('isRecordingShortcut')))
        return
    count('super panel')
    # The hotkey pressed again while Alt is held closes the panel, and once more opens it again. The
    # program may take a while to follow a press (a sanitized build is slow): each is watched until
    # the panel has followed it, as a user sees the panel go before pressing again. A step that went
    # on from a guess would leave a panel that opens late over the screen for the steps after it.
    shown = True
    for _ in range(random.randint(0, 3) if last == 'Tab' else 0):
        key(last, pause=0.05)
        shown = not shown
        if not wait_for(lambda: full_screen_shown() == shown, 5):
            fail('%s pressed again did not %s the Super Panel' % (combo, 'open' if shown else 'close'))
            break
    for m in reversed(modifiers):
        key_event(m, False)
    time.sleep(0.3)
    if not full_screen_shown():
        return
    type_text(random.choice(['term', 'xc', 'zzz', 'te', '']))
    for _ in range(random.randint(1, 6)):
        key(random.choice(['Left', 'Right', 'Up', 'Down', 'BackSpace']), pause=0.1)
    # The sidebar on the left, the column on the right, the gallery between.
    for _ in range(random.randint(0, 3)):
        region = random.choice(['sidebar', 'column', 'middle'])
        if region == 'sidebar':
            px, py = random.randint(20, 200), random.randint(100, H - 200)
        elif region == 'column':
            px, py = random.randint(W - 380, W - 20), random.randint(100, H - 200)
        else:
            px, py = random.randint(300, W - 400), random.randint(150, H - 300)
        move(px, py, steps=10)
        time.sleep(0.2)
        if random.random() < 0.5 and full_screen_shown():
            click()
            time.sleep(0.3)
    if full_screen_shown():
        key(random.choice(['Return', 'Escape', 'Escape']), pause=0.3)
    escape_everything()


def edge_popup():
    combo = random.choice(['Alt_L+c', 'Alt_L+s'])
    key(combo)
    if not wait_for(full_screen_shown, 4):
        fail('%s showed no edge popup' % combo)
        return
    count('edge popups')
    # Along the edges of the screen, where the popup sits, and across it.
    for _ in range(random.randint(2, 6)):
        edge = random.choice(['bottom', 'left', 'right', 'top'])
        if edge == 'bottom':
            px, py = random.randint(100, W - 100), H - random.randint(5, 250)
        elif edge == 'top':
            px, py = random.randint(100, W - 100), random.randint(5, 250)
        elif edge == 'left':
            px, py = random.randint(5, 250), random.randint(100, H - 100)
        else:
            px, py = W - random.randint(5, 250), random.randint(100, H - 100)
        move(px, py, steps=8)
        time.sleep(0.15)
    if random.random() < 0.3:
        key('Right')
        key('Left')
    key(random.choice([combo, 'Escape']), pause=0.4)
    escape_everything()


def png(width, height, seed):
    rows = b''.join(b'\x00' + bytes(v for x in range(width)
                                    for v in ((x * seed + y) & 255, (y * 3) & 255, (x ^ y) & 255))
                    for y in range(height))

    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


owners = []


def copy():
    # xclip keeps the selection until the next copy takes it, as an application would.
    for p in owners:
        if p.poll() is None:
            p.kill()
        p.wait()
    owners.clear()
    if random.random() < 0.35:
        data = png(random.randint(8, 300), random.randint(8, 200), random.randint(1, 200))
        cmd = ['xclip', '-quiet', '-selection', 'clipboard', '-t', 'image/png']
        count('image copies')
    else:
        text = random.choice([
            'hello %d' % random.randint(0, 10 ** 6),
            'https://example.org/%d' % random.randint(0, 999),
            'password: hunter%d' % random.randint(0, 99),
            '\u00e9t\u00e9 \u4e2d\u6587 \U0001F600 %d' % random.randint(0, 99),
            'x' * random.randint(1, 20000),
            'line\n' * random.randint(1, 400),
        ])
        data = text.encode('utf-8')
        cmd = ['xclip', '-quiet', '-selection', 'clipboard']
        count('text copies')
    p = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    p.stdin.write(data)
    p.stdin.close()
    owners.append(p)
    time.sleep(0.3)


drag_source = None
drops = [0]


def shelf_folder():
    cache = os.environ.get('XDG_CACHE_HOME') or os.path.join(os.path.expanduser('~'), '.cache')
    return os.path.join(cache, 'QuorvantisShelf')


def shelved(stem):
    """The entries of the shelf folder whose names start with `stem` (a copy may get a number)."""
    try:
        return [n for n in os.listdir(shelf_folder()) if n.startswith(stem)]
    except OSError:
        return []


def start_drag_source(uri_list):
    """The drag source, started afresh to drag the file the uri-list names, at the same place."""
    global drag_source
    if drag_source is not None and drag_source.poll() is None:
        drag_source.kill()
        drag_source.wait()
        wait_for(lambda: 'qv-drag-source' not in clients(), 5)
    # A helper of the run, not the program under test: its own reports are not looked at.
    env = {k: v for k, v in os.environ.items() if not k.endswith('SAN_OPTIONS')}
    env.update(ASAN_OPTIONS='detect_leaks=0', TSAN_OPTIONS='report_bugs=0')
    drag_source = subprocess.Popen([args.drag_source, uri_list], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
    if not wait_for(lambda: 'qv-drag-source' in clients(), 10):
        return None
    w = clients()['qv-drag-source']
    subprocess.run(['xdotool', 'windowmove', '--sync', str(w.id), '600', '300'], timeout=10,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(['xdotool', 'windowactivate', '--sync', str(w.id)], timeout=10,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.3)
    return clients().get('qv-drag-source')


def shelf_drop():
    """A file dragged out of another program, held at the left edge (the shelf opens), dropped on it:
    a file of its own each time, which must then be in the shelf's folder."""
    if not args.drag_source or not os.path.exists(args.drag_source):
        return
    drops[0] += 1
    folder = os.path.join(os.path.expanduser('~'), 'drops')
    os.makedirs(folder, exist_ok=True)
    stem = 'dropped-%d-' % drops[0]
    path = os.path.join(folder, stem + 'notes.txt')
    with open(path, 'w') as f:
        f.write('dropped on the shelf, step %d\n' % drops[0])
    uri_list = os.path.join(folder, 'uris-%d' % drops[0])
    with open(uri_list, 'w') as f:
        f.write('file://%s\r\n' % path)
    w = start_drag_source(uri_list)
    if w is None:
        fail('the drag source did not start')
        return
    at = w.translate_coords(root, 0, 0)
    sx, sy = -at.x + 100, -at.y + 100
    move(sx, sy, steps=8)
    time.sleep(0.2)
    button(True)
    for x in range(sx - 10, 0, -60):
        move(x, sy, steps=1)
        time.sleep(0.03)
    move(3, sy, steps=2)
    opened = wait_for(full_screen_shown, 4)
    if opened:
        time.sleep(0.3)
        # Onto the popup, where its edge put it, then let go.
        tx, ty = {'top': (W // 2, 150), 'bottom': (W // 2, H - 150), 'left': (150, H // 2),
                  'right': (W - 150, H // 2)}[stored_edge()]
        move(tx, ty, steps=10)
        time.sleep(0.3)
        move(tx + 3, ty, steps=1)
        time.sleep(0.3)
    button(False)
    if not opened:
        fail('a file held at the left edge opened no shelf')
    elif wait_for(lambda: shelved(stem), 10):
        count('shelf drops')
    else:
        fail('a file dropped on the shelf (%s edge) is not in %s' % (stored_edge(), shelf_folder()))
    time.sleep(0.5)
    escape_everything()


terminals = []


def windows():
    """Terminals opened, resized and closed."""
    live = [p for p in terminals if p.poll() is None]
    terminals[:] = live
    choice = random.random()
    if choice < 0.4 and len(live) < 5:
        n = random.randint(10, 99)
        terminals.append(subprocess.Popen(
            ['xterm', '-T', 'term-x%d' % n, '-geometry', '60x15+%d+%d' % (random.randint(100, 1200),
                                                                           random.randint(100, 600)),
             '-e', 'sleep 100000'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        count('windows opened')
    elif choice < 0.7:
        cs = [w for t, w in clients().items() if t.startswith('term')]
        if cs:
            w = random.choice(cs)
            try:
                w.configure(width=random.randint(200, 900), height=random.randint(150, 700))
                d.sync()
                count('windows resized')
            except XError:
                pass
    elif live:
        p = random.choice(live)
        p.terminate()
        p.wait()
        count('windows closed')
    time.sleep(0.2)


# The settings window, 750 wide: its sidebar lists the pages from the top (General, Appearance,
# Guide, Shortcuts, App Blocker, Contact, About, Diagnostics). Positions are relative to the window.
PAGES = 8
PAGE_GENERAL, PAGE_APPEARANCE, PAGE_SHORTCUTS, PAGE_DIAGNOSTICS = 0, 1, 3, 7
SIDEBAR_X, SIDEBAR_TOP, SIDEBAR_STEP = 90, 120, 48
# The recorder's buttons sit in the middle of the card, Confirm left of its middle; how far down
# depends on the lines the title and the description take in the language shown (402 in English).
# Rows closer than the button's height (44), so one of them is on it.
RECORD_X, CONFIRM_X = 474, 393
RECORD_ROWS = [402, 432, 462, 492, 522, 552]
DIAGNOSTICS_SWITCH, EXPORT_WHEN_ON = (682, 193), (347, 322)
LANGUAGE_AT_BOTTOM = (644, 753)
EDGES = ['top', 'bottom', 'left', 'right']  # the segments of the popup edge, left to right
EDGE_SEGMENTS_AT_BOTTOM = [(446, 737), (511, 737), (575, 737), (640, 737)]

# What the settings steps changed is read back from the program's settings file, so later steps
# follow what the program took, not where the driver meant to click (the pages' layout moves with
# the language).
def stored_setting(name):
    """A value of the program's settings file as it stands; None when absent. The program replaces the
    file whole at every change; one that cannot be read is read again for a moment, so a failed read
    is not taken for a value left unset."""
    folder = os.environ.get('XDG_CONFIG_HOME') or os.path.join(os.path.expanduser('~'), '.config')
    for _ in range(40):
        try:
            with open(os.path.join(folder, 'Quorvantis', 'defaults.json')) as f:
                values = json.load(f)
            if isinstance(values, dict):
                return values.get(name)
        except (OSError, ValueError):
            pass
        time.sleep(0.05)
    log('the settings file cannot be read')
    return None


# The keys and modifiers of the combinations the drive records, as the program stores them (a key's
# place as a classic Mac key code, modifier flags).
STORED_KEYS = {48: 'Tab', 5: 'g'}
STORED_MODIFIERS = [(0x40000, 'Control_L'), (0x80000, 'Alt_L'), (0x20000, 'Shift_L'), (0x100000, 'Super_L')]


def stored_edge():
    """The popup edge the program stored ('leading' and 'trailing' are left and right here); bottom
    while none is, as the program reads it."""
    return {'top': 'top', 'bottom': 'bottom', 'leading': 'left', 'trailing': 'right'}.get(
        stored_setting('popupEdge'), 'bottom')


def stored_switcher():
    """The Super Panel's hotkey the program stored, as keys to press ('Alt_L+Tab' while none is); a
    pair the drive cannot type is shown as stored."""
    code = stored_setting('customKeyCode')
    flags = stored_setting('customFlags')
    code = 48 if code is None else code
    flags = 0x80000 if flags is None else flags
    if code not in STORED_KEYS or not isinstance(flags, int):
        return 'key %r flags %r' % (code, flags)
    return '+'.join([name for bit, name in STORED_MODIFIERS if flags & bit] + [STORED_KEYS[code]])


def open_settings():
    icon = tray_icon()
    if not icon:
        fail('no tray icon to click')
        return None
    click(*icon)
    menu = wait_for(menu_rect, 4)
    if not menu:
        fail('the tray menu did not open')
        key('Escape')
        return None
    mx, my, mw, mh = menu
    # "Preferences…" is the first entry.
    click(mx + mw // 2, my + 16)
    window = wait_for(settings_window, 6)
    if not window:
        fail('"Preferences…" opened no settings window')
    return window


def close_settings(window):
    w = window[0]
    protocols = atom('WM_PROTOCOLS')
    event = protocol.event.ClientMessage(window=w, client_type=protocols,
                                         data=(32, [atom('WM_DELETE_WINDOW'), X.CurrentTime, 0, 0, 0]))
    try:
        w.send_event(event, event_mask=0)
        d.flush()
    except XError:
        pass
    if not wait_for(lambda: not settings_window(), 5):
        fail('the settings window did not close')


def at(window, point):
    return (window[1] + point[0], window[2] + point[1])


def page(window, index, to_bottom=False):
    click(window[1] + SIDEBAR_X, window[2] + SIDEBAR_TOP + SIDEBAR_STEP * index)
    time.sleep(0.3)
    move(*at(window, (500, 500)), steps=4)
    for _ in range(25 if to_bottom else random.randint(0, 6)):
        click(None, None, 5)
    if not to_bottom and random.random() < 0.5:
        for _ in range(random.randint(1, 6)):
            click(None, None, 4)
    time.sleep(0.2)
    count('pages visited')


def record_shortcut(window):
    """Records the other of the two combinations the drive uses for the Super Panel, through the page's
    recorder, and checks that the program stored it. The page's layout moves with the language (a
    title or a description on two lines puts the recorder lower), so the Record button is looked for
    down the card's middle until the program says it listens; Confirm takes the button's place."""
    old = stored_switcher()
    new = 'Control_L+Alt_L+g' if old == 'Alt_L+Tab' else 'Alt_L+Tab'
    page(window, PAGE_SHORTCUTS)
    page(window, PAGE_SHORTCUTS)  # the page again, at its top
    move(*at(window, (500, 500)), steps=2)
    for _ in range(10):
        click(None, None, 4)
    time.sleep(0.2)
    row = None
    for y in RECORD_ROWS:
        click(*at(window, (RECORD_X, y)))
        # A click beside the button (on the keycaps, the card, or the prompt that replaced the button
        # once it listens) does nothing.
        if wait_for(lambda: stored_setting('isRecordingShortcut') is True, 3):
            row = y
            break
    if row is None and not wait_for(lambda: stored_setting('isRecordingShortcut') is True, 10):
        fail('no click down the Shortcuts page started the recorder (%s)' % stored_setting('appLanguage'))
        return
    key(new)
    # The recorder shows the combination for review, with Confirm where the Record button was: on
    # the row that started it, or one above when the program took an earlier click late.
    rows = [row] + [r for r in reversed(RECORD_ROWS) if r < row] if row else RECORD_ROWS
    confirmed = False
    for y in rows:
        time.sleep(0.3)
        click(*at(window, (CONFIRM_X, y)))
        if wait_for(lambda: stored_setting('isRecordingShortcut') is False, 5):
            confirmed = True
            break
    if not confirmed and not wait_for(lambda: stored_setting('isRecordingShortcut') is False, 10):
        # Still listening (the key went elsewhere) or still under review: leaving the page cancels.
        fail('the recorder did not take %s or its Confirm (%s)' % (new, stored_setting('appLanguage')))
        page(window, PAGE_GENERAL)
        return
    stored = stored_switcher()
    if stored != new:
        fail('%s recorded and confirmed, but %s is stored' % (new, stored))
        return
    count('shortcuts recorded')
    log('recorded %s (was %s)' % (new, old))
    # At once the new hotkey, over the settings window, then the old one.
    switcher_press(new)
    if not wait_for(full_screen_shown, 5):
        fail('%s right after it was recorded showed no Super Panel' % new)
    key('Escape', pause=0.3)
    wait_for(lambda: not full_screen_shown(), 5)
    switcher_press(old)
    time.sleep(0.4)
    escape_everything()


def switch_language(window):
    page(window, PAGE_GENERAL, to_bottom=True)
    click(*at(window, LANGUAGE_AT_BOTTOM))
    time.sleep(0.4)
    for _ in range(random.randint(0, 8)):
        key('Down', pause=0.05)
    key('Return', pause=0.5)
    count('languages switched')


def toggle_diagnostics(window):
    page(window, PAGE_DIAGNOSTICS)
    page(window, PAGE_DIAGNOSTICS)
    was = bool(stored_setting('diagnosticsEnabled'))
    click(*at(window, DIAGNOSTICS_SWITCH))
    if wait_for(lambda: bool(stored_setting('diagnosticsEnabled')) != was, 5):
        count('diagnostics switched')
    else:
        log('the click left diagnostics %s' % ('on' if was else 'off'))
    time.sleep(0.4)
    if stored_setting('diagnosticsEnabled') and random.random() < 0.5:
        click(*at(window, EXPORT_WHEN_ON))
        # The save dialog proposes a name in HOME; Return takes it.
        if wait_for(lambda: len([1 for w in our_windows() if w[5] and not w[6]]) >= 2, 5):
            time.sleep(0.3)
            key('Return', pause=1.0)
            count('diagnostics exported')
        escape_dialogs(window)


def choose_edge(window):
    page(window, PAGE_APPEARANCE, to_bottom=True)
    index = random.randrange(len(EDGES))
    click(*at(window, EDGE_SEGMENTS_AT_BOTTOM[index]))
    if wait_for(lambda: stored_edge() == EDGES[index], 5):
        count('popup edges chosen')
    else:
        log('the click on the %s segment left the popup edge at %s' % (EDGES[index], stored_edge()))


def escape_dialogs(window):
    for _ in range(3):
        if len([1 for w in our_windows() if w[5] and not w[6]]) < 2:
            return
        key('Escape', pause=0.4)


def settings_visit():
    window = open_settings()
    if not window:
        return
    count('settings opened')
    for index in random.sample(range(PAGES), random.randint(1, PAGES)):
        page(window, index)
    task = random.choice([record_shortcut, switch_language, toggle_diagnostics, choose_edge, None])
    if task:
        log('settings: ' + task.__name__)
        window = settings_window() or open_settings()
        if window:
            task(window)
    window = settings_window()
    if window:
        escape_dialogs(window)
        close_settings(window)
        count('settings closed')


# --- the sanitizers' reports ---------------------------------------------------------------------

def frames_of(block):
    """The stacks of a report: (header line, [frame lines]) in order."""
    stacks, header, frames = [], None, None
    for line in block.splitlines():
        if line.lstrip().startswith('#') and frames is not None:
            frames.append(line)
        else:
            if frames:
                stacks.append((header, frames))
            header, frames = line, []
    if frames:
        stacks.append((header, frames))
    return stacks


def first_real_frame(frames, binary):
    """The first frame that is neither the sanitizer's interceptor (no source, in the program) nor a
    header's inline code (the C++ library's, Qt's): the code that made the access."""
    for frame in frames:
        if '<null>' in frame and '(%s+' % binary in frame:
            continue
        if '/include/' in frame:
            continue
        return frame
    return frames[0] if frames else ''


def classify(block, binary):
    """True when a ThreadSanitizer report's accesses are made by our code; False when both stack only
    into libraries not built with the sanitizer (Qt, glib, libdbus), whose own synchronisation it
    cannot see."""
    stacks = frames_of(block)
    accesses = [f for h, f in stacks if re.match(r'\s+(Previous )?(atomic )?(read|write)', h, re.I)]
    relevant = accesses or [f for h, f in stacks[:1]]
    return any('/src/' in first_real_frame(f, binary) for f in relevant)


def reports(folder, binary):
    """Prints every report under `folder`; returns how many count (every AddressSanitizer, LeakSanitizer
    and UndefinedBehaviorSanitizer one, and ThreadSanitizer ones our code makes)."""
    counted, libraries = 0, {}
    for name in sorted(os.listdir(folder)):
        if not re.match(r'sanitizer\.\d+$', name):
            continue
        text = open(os.path.join(folder, name), errors='replace').read()
        if 'ThreadSanitizer' not in text:
            print('=== %s\n%s' % (name, text))
            counted += max(1, text.count('ERROR: ') + text.count('runtime error:'))
            continue
        for block in text.split('==================\n'):
            if 'WARNING: ThreadSanitizer' not in block:
                continue
            if classify(block, binary):
                print('=== %s\n%s' % (name, block))
                counted += 1
            else:
                kind = re.search(r'WARNING: ThreadSanitizer: ([^(\n]*)', block).group(1).strip()
                tops = [first_real_frame(f, binary).split(' (')[0].strip() for h, f in frames_of(block)[:2]]
                key = '%s: %s' % (kind, ' / '.join(tops))
                libraries[key] = libraries.get(key, 0) + 1
    if libraries:
        print('ThreadSanitizer reports inside libraries not built with it (read, not counted; full text in %s):'
              % folder)
        for key, n in sorted(libraries.items(), key=lambda kv: -kv[1]):
            print('  %4d  %s' % (n, re.sub(r'\s+', ' ', key)[:300]))
    return counted


def main():
    global args, d, root, W, H, started
    parser = argparse.ArgumentParser()
    parser.add_argument('--pid', type=int, default=0)
    parser.add_argument('--minutes', type=float, default=3)
    parser.add_argument('--seed', type=int, default=None)
    parser.add_argument('--drag-source', default=None)
    parser.add_argument('--only', default=None)
    parser.add_argument('--reports', default=None, help='only print and count the reports in this folder')
    args = parser.parse_args()
    if args.reports:
        n = reports(args.reports, 'quorvantis')
        print('sanitizer reports: %d' % n)
        return 1 if n else 0
    started = time.monotonic()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    random.seed(seed)
    log('seed %d' % seed)
    d = display.Display()
    root = d.screen().root
    W, H = d.screen().width_in_pixels, d.screen().height_in_pixels
    pointer[0], pointer[1] = W // 2, H // 2

    # The program is up once its tray icon is in the tray and a hover on a task button shows the
    # bubble (the first walk of the panel takes a moment).
    if not wait_for(tray_icon, 60):
        fail('the tray icon never appeared')
    for x, y in task_buttons()[:1]:
        move(x, y, steps=10)
        if not wait_for(bubble_rect, 60):
            fail('no bubble at the first hover')
    steps = [(hover_rest, 6), (hover_sweep, 3), (hover_leave, 3), (bubble_cards, 4), (super_panel, 4),
             (edge_popup, 4), (copy, 4), (shelf_drop, 2), (windows, 3), (settings_visit, 2)]
    if args.only:
        steps = [s for s in steps if s[0].__name__ in args.only.split(',')]
    actions = [s for s, weight in steps for _ in range(weight)]
    end = started + args.minutes * 60
    failed = False
    try:
        last_ping = time.monotonic()
        while time.monotonic() < end:
            check_alive()
            # A program whose loop has stopped may still show its last windows: it is asked now and
            # then, so a hang ends the run when it happens.
            if time.monotonic() - last_ping > 30:
                if not ping():
                    log('FAIL: no answer to _NET_WM_PING')
                    failed = True
                    break
                last_ping = time.monotonic()
            action = random.choice(actions)
            log(action.__name__)
            try:
                action()
            except XError as error:
                # A window went away under the step (a terminal closed, a menu shut): go on.
                log('%s: %s' % (action.__name__, error))
            count('steps')
        # After a hang nothing more can be asked.
        if not failed:
            # The bubble still shows at a hover, and the program still answers. A card's close button
            # may have closed every terminal: one more, with its task button, to hover.
            escape_everything()
            terminals.append(subprocess.Popen(['xterm', '-T', 'term-last', '-e', 'sleep 100000'],
                                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            if not wait_for(lambda: len(task_buttons()) > 0 and 'term-last' in clients(), 30):
                fail('no task button to hover')
            move(W // 2, H // 2, steps=5)
            shown = False
            for x, y in task_buttons()[:3]:
                # Hidden first, so the bubble that shows is one this hover brought.
                wait_for(lambda: not bubble_rect(), 5)
                move(x, y, steps=12)
                if wait_for(bubble_rect, 8):
                    shown = True
                    break
                move(W // 2, H // 2, steps=5)
                time.sleep(0.5)
            if not shown:
                log('FAIL: a hover on a task button no longer shows the bubble')
                failed = True
            if not ping():
                log('FAIL: no answer to _NET_WM_PING')
                failed = True
    except Gone:
        log('FAIL: the program is gone')
        failed = True
    finally:
        release_everything()
        for p in owners + terminals + ([drag_source] if drag_source else []):
            if p.poll() is None:
                p.kill()
            p.wait()
    log('done: ' + ', '.join('%s %d' % kv for kv in sorted(counts.items())))
    if failures:
        log('%d step(s) did not happen: %s' % (len(failures), '; '.join(failures)))
    return 1 if failed or failures else 0


if __name__ == '__main__':
    sys.exit(main())
