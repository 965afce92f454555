#!/usr/bin/env python3
"""The quick-access path on a private desktop (Xvfb, openbox, trayer, a session bus of its own),
1,000 items in the history:

- shortcut press to the panel on screen with its rows painted: the first opening after start-up
  and the median of 20 more;
- Shift+Return to the text arriving in a waiting Qt text field of another process: median;
- resident memory after ten showings minus before the first.

Method. Keys go through XTest from this process (python3-xlib), so no helper start-up is timed;
the clock starts just before the press is sent. "On screen" is the panel's MapNotify, seen through
SubstructureNotify on the root window (the panel is an override-redirect child of the root).
"Rows painted" is the first moment after that at which the row area of the panel, read back with
GetImage, is no longer one uniform colour: until Qt paints, it shows the plain black root beneath
(Xvfb -br); Qt puts a whole frame on screen at once, so the rows come with the rest of the panel.
Pasting is timed from the Return press (Shift let go right after it) to the line the text field
prints when its text changes. Targets: opening median <= 25 ms, first <= 100 ms; paste median
<= 150 ms; memory growth <= 10 MB.

Usage: /usr/bin/python3 bench/quick_access_bench.py [BUILD_DIR]   (default: build/bench)
The build needs src/app/snipbrook and the text-field window (bench/snipbrook-text-window in a
bench build, tests/e2e/snipbrook-text-window in a test build).
"""
import os
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

try:
    from Xlib import X, XK, display as xdisplay
    from Xlib.ext import xtest
except ImportError:
    raise SystemExit("python3-xlib is missing (scripts/setup.sh installs it; run with the system python3)")

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/bench"))
BINARY = os.path.join(BUILD, "src/app/snipbrook")
PANEL_WIDTH = 396  # the panel's content width plus its shadow margins
OPENINGS = 20
PASTES = 15


def text_window_program():
    for sub in ("bench/snipbrook-text-window", "tests/e2e/snipbrook-text-window"):
        path = os.path.join(BUILD, sub)
        if os.access(path, os.X_OK):
            return path
    raise SystemExit("no snipbrook-text-window in " + BUILD)


def wait_for(condition, timeout=30.0, step=0.002):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(step)
    return False


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24", "-br", "-nolisten", "tcp"],
                            pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read_fd, 16)
        if not chunk:
            raise SystemExit("Xvfb did not start")
        number += chunk
    os.close(read_fd)
    return xvfb, ":" + number.decode().strip()


def start_session_bus():
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
    address = bus.stdout.readline().decode().strip()
    if not address:
        raise SystemExit("dbus-daemon did not start")
    return bus, address


def environment(home, display, bus):
    env = dict(os.environ)
    for name, sub in (("XDG_DATA_HOME", "data"), ("XDG_CONFIG_HOME", "config"), ("XDG_RUNTIME_DIR", "run")):
        os.makedirs(os.path.join(home, sub), mode=0o700, exist_ok=True)
        env[name] = os.path.join(home, sub)
    env.update(HOME=home, DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=bus)
    env.pop("QT_QPA_PLATFORM", None)
    return env


def start_desktop(env, desktop, tray=True, tray_options=()):
    """openbox and, with `tray`, trayer at the top right; the processes, to terminate at the end."""
    helpers = [subprocess.Popen(["openbox", "--sm-disable"], env=env, stderr=subprocess.DEVNULL)]
    if not wait_for(lambda: desktop.d.get_selection_owner(desktop.d.intern_atom("WM_S0")) != X.NONE, 10):
        raise SystemExit("openbox did not start")
    if tray:
        helpers.append(subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel",
                                         "--width", "96", "--height", "24", *tray_options], env=env,
                                        stderr=subprocess.DEVNULL))
        selection = desktop.d.intern_atom("_NET_SYSTEM_TRAY_S0")
        if not wait_for(lambda: desktop.d.get_selection_owner(selection) != X.NONE, 10):
            raise SystemExit("trayer did not start")
    return helpers


def seed_preferences(env, lines=("hasShownWelcome=true",)):
    """Preferences written before the first start (no welcome message over the windows)."""
    folder = os.path.join(env["XDG_CONFIG_HOME"], "Snipbrook")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    with open(os.path.join(folder, "Snipbrook.conf"), "w") as file:
        file.write("[General]\n" + "".join(line + "\n" for line in lines))


def tear_down(env, instance, helpers, bus, xvfb, home, quit=None):
    """Stops the instance (through `quit`, else the command line), the helpers, the bus and Xvfb,
    and removes the private home."""
    if instance is not None:
        (quit or quit_instance)(env, instance)
    for helper in helpers:
        helper.terminate()
    bus.terminate()
    xvfb.terminate()
    shutil.rmtree(home, ignore_errors=True)


def cli(env, *args, stdin=None):
    return subprocess.run([BINARY, *args], env=env, input=stdin, capture_output=True)


def instance_log(env):
    return os.path.join(env["HOME"], "instance.log")


def start_instance(env):
    with open(instance_log(env), "ab") as log:
        instance = subprocess.Popen([BINARY], env=env, stdout=log, stderr=subprocess.STDOUT)
    if not wait_for(lambda: cli(env, "status").returncode == 0, 60, 0.02):
        raise SystemExit("snipbrook did not answer")
    status = lambda: cli(env, "status").stdout
    if not wait_for(lambda: b"Tray: present" in status() and b"Global shortcut: registered" in status(), 30, 0.05):
        raise SystemExit("no tray or no shortcut:\n" + status().decode())
    return instance


def quit_instance(env, instance):
    cli(env, "quit")
    instance.wait(30)


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Desktop:
    """This process's X connection: XTest keys and the panel's map state."""

    def __init__(self, name):
        self.d = xdisplay.Display(name)
        self.root = self.d.screen().root
        self.root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.d.sync()
        self.panel = None

    def activate(self, window):
        """Asks the window manager to activate the window; true once it is the active one."""
        subprocess.run(["xdotool", "windowactivate", str(window)], env={**os.environ, "DISPLAY": self.d.get_display_name()},
                       stderr=subprocess.DEVNULL)
        active = self.root.get_full_property(self.d.intern_atom("_NET_ACTIVE_WINDOW"), X.AnyPropertyType)
        return active is not None and len(active.value) > 0 and active.value[0] == window

    def keycode(self, name):
        return self.d.keysym_to_keycode(XK.string_to_keysym(name))

    def keys(self, *steps):
        """Steps of ("down"|"up", keysym name), sent in one go."""
        for direction, name in steps:
            xtest.fake_input(self.d, X.KeyPress if direction == "down" else X.KeyRelease, self.keycode(name))
        self.d.sync()

    def drain(self):
        while self.d.pending_events():
            self.d.next_event()

    def wait_event(self, kind, timeout=10.0):
        """The next map or unmap of the panel (a window of the panel's width)."""
        deadline = time.perf_counter() + timeout
        while True:
            while self.d.pending_events():
                event = self.d.next_event()
                if event.type != kind:
                    continue
                if self.panel is not None and event.window.id == self.panel.id:
                    return time.perf_counter()
                if self.panel is None and kind == X.MapNotify:
                    geometry = event.window.get_geometry()
                    if geometry.width == PANEL_WIDTH:
                        self.panel = event.window
                        return time.perf_counter()
            left = deadline - time.perf_counter()
            if left <= 0:
                raise SystemExit("the panel did not " + ("open" if kind == X.MapNotify else "close"))
            select.select([self.d.fileno()], [], [], left)

    def rows_painted(self):
        geometry = self.panel.get_geometry()
        # The row area: below the header and the search bar, inside the shadow margin.
        x, y = 24, 120
        width, height = geometry.width - 48, geometry.height - y - 40
        data = self.panel.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF).data
        return data.count(data[:4]) * 4 != len(data)

    def open_panel(self):
        """Milliseconds from the shortcut press to the panel mapped, and to its rows painted."""
        self.drain()
        start = time.perf_counter()
        self.keys(("down", "Control_L"), ("down", "Shift_L"), ("down", "space"))
        mapped = self.wait_event(X.MapNotify)
        if not wait_for(self.rows_painted, 10, 0):
            raise SystemExit("the panel's rows were never painted")
        painted = time.perf_counter()
        self.keys(("up", "space"), ("up", "Shift_L"), ("up", "Control_L"))
        return (mapped - start) * 1000, (painted - start) * 1000

    def close_panel(self):
        self.keys(("down", "Escape"), ("up", "Escape"))
        self.wait_event(X.UnmapNotify)


def main():
    xvfb, display = start_xvfb()
    bus, address = start_session_bus()
    home = tempfile.mkdtemp(prefix="snipbrook-quick-access-bench-")
    env = environment(home, display, address)
    helpers = []
    instance = None
    try:
        desktop = Desktop(display)
        helpers += start_desktop(env, desktop)

        instance = start_instance(env)
        lines = "".join(f"history item {i}: notes about topic {i % 37}, line {i * 7919 % 1000}\n" for i in range(1000))
        if cli(env, "add", "--lines", stdin=lines.encode()).returncode != 0:
            raise SystemExit("could not fill the history")
        settled = lambda: b"Indexed for search by meaning: 1000" in cli(env, "status").stdout
        if not wait_for(settled, 300, 0.5):
            raise SystemExit("the history was not indexed")
        quit_instance(env, instance)

        # Start-up with the history stored, then the first opening and the ones after it.
        instance = start_instance(env)
        # Start-up work (loading the history and the index) done before memory is read.
        if not wait_for(settled, 120, 0.1):
            raise SystemExit("the index did not load")
        before = rss_mb(instance.pid)
        first_map, first_paint = desktop.open_panel()
        desktop.close_panel()
        maps, paints = [], []
        for i in range(OPENINGS):
            mapped, painted = desktop.open_panel()
            maps.append(mapped)
            paints.append(painted)
            desktop.close_panel()
            if i == 8:  # ten showings in all
                after_ten = rss_mb(instance.pid)
        print(f"shortcut to panel, first after start-up: mapped {first_map:.1f} ms, rows painted {first_paint:.1f} ms")
        print(f"shortcut to panel, {OPENINGS} openings: mapped median {statistics.median(maps):.1f} ms, "
              f"rows painted median {statistics.median(paints):.1f} ms (max {max(paints):.1f} ms)")
        print(f"resident memory: {before:.1f} MB before the first showing, {after_ten:.1f} MB after ten "
              f"({after_ten - before:+.1f} MB)")

        # Pasting the newest item (the first row) into a waiting text field.
        target = subprocess.Popen([text_window_program(), "Paste target"], env=env, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE)
        helpers.append(target)
        window = int(target.stdout.readline())
        if not wait_for(lambda: desktop.activate(window), 10, 0.1):
            raise SystemExit("the text field's window did not become active")
        newest = "history item 999: notes about topic 0, line 81"
        expected = ""
        pastes = []
        for _ in range(PASTES):
            desktop.open_panel()
            expected += newest
            start = time.perf_counter()
            desktop.keys(("down", "Shift_L"), ("down", "Return"), ("up", "Return"), ("up", "Shift_L"))
            line = ""
            while line != expected:
                ready, _, _ = select.select([target.stdout], [], [], 10)
                if not ready:
                    raise SystemExit(f"the paste did not arrive (field: {line!r})")
                line = target.stdout.readline().decode().rstrip("\n")
            pastes.append((time.perf_counter() - start) * 1000)
            desktop.wait_event(X.UnmapNotify)
        print(f"Shift+Return to the text in the field, {PASTES} pastes: median {statistics.median(pastes):.1f} ms "
              f"(max {max(pastes):.1f} ms)")
        quit_instance(env, instance)
        instance = None
    except SystemExit:
        with open(instance_log(env), errors="replace") as log:
            print("".join(log.readlines()[-30:]), file=sys.stderr)
        raise
    finally:
        if instance:
            instance.kill()
        for helper in reversed(helpers):
            if helper.stdin:
                helper.stdin.close()
            helper.terminate()
            helper.wait(10)
        bus.terminate()
        xvfb.terminate()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
