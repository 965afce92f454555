#!/usr/bin/env python3
"""The main window on a private desktop (Xvfb, openbox, trayer, a session bus of its own):

- `snipbrook show` to the main window on screen with its cards painted, 1,000 items: the first
  showing after start-up and the median of 15 more (`snipbrook hide` between);
- the same with 10,000 items (maxClipboardItems set to 10,000), median once warm;
- resident memory with the window showing 10,000 items of which 200 are 1 MB PNG images, after
  scrolling the grid from top to bottom.

Method. The clock starts just before `snipbrook show` is launched, so the command-line call is
timed. "On screen" is the MapNotify of the window manager's frame around the main window (seen
through SubstructureNotify on the root window). "Painted" is the first moment after that at which
a part of the card grid, read back with GetImage, is no longer one uniform colour: until Qt paints,
the window shows the plain black root beneath (Xvfb -br), and Qt puts a whole frame on screen at
once. The start-up showing of the window is hidden first, so "first" is the first `show` after the
instance started. Scrolling goes through XTest wheel clicks over the grid until the grid stops
changing. The history is filled with `snipbrook add --lines` and `snipbrook import` (the images);
memory is VmRSS of the instance once thumbnails settled, and its peak (VmHWM).
Targets: first <= 150 ms, median <= 50 ms; 10,000 items <= 80 ms; memory <= 200 MB.

Usage: /usr/bin/python3 bench/main_window_bench.py [BUILD_DIR]   (default: build/bench)
BUILD_DIR needs src/app/snipbrook and src/app/snipbrook-instance.
"""
import base64
import json
import os
import re
import select
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import uuid
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quick_access_bench as qa  # noqa: E402  (the desktop, bus and instance helpers)

from Xlib import X  # noqa: E402
from Xlib.ext import xtest  # noqa: E402

SHOWINGS = 15
TITLE = "Snipbrook"
REFERENCE_UNIX = 978307200  # item times count seconds from 2001-01-01


def start_instance(env):
    with open(qa.instance_log(env), "ab") as log:
        instance = subprocess.Popen([qa.BINARY], env=env, stdout=log, stderr=subprocess.STDOUT)
    if not qa.wait_for(lambda: qa.cli(env, "status").returncode == 0, 120, 0.02):
        raise SystemExit("snipbrook did not answer")
    return instance


def quit_instance(env, instance):
    """Quits the instance; one that does not go within 30 s is reported (with its threads' stacks
    when gdb is there) and killed, so the run goes on."""
    qa.cli(env, "quit")
    try:
        instance.wait(30)
    except subprocess.TimeoutExpired:
        print(f"⚠️ the instance did not quit within 30 s of `snipbrook quit`", file=sys.stderr)
        if shutil.which("gdb"):
            stacks = subprocess.run(["gdb", "-batch", "-p", str(instance.pid), "-ex", "thread apply all bt 30"],
                                    capture_output=True, text=True).stdout
            print("\n".join(line for line in stacks.splitlines() if line.startswith(("#", "Thread"))), file=sys.stderr)
        instance.kill()
        instance.wait(10)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wait_idle(pid, timeout=300):
    """Until the instance's background work (indexing, loading) is done: under 5% of a core."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        before = cpu_seconds(pid)
        time.sleep(1)
        if cpu_seconds(pid) - before < 0.05:
            return
    raise SystemExit("the instance never went idle")


def items_count(env):
    match = re.search(rb"Items: (\d+)", qa.cli(env, "status").stdout)
    return int(match.group(1)) if match else -1


def configure(env, max_items):
    """maxClipboardItems in the stored configuration (instance stopped)."""
    path = os.path.join(env["XDG_CONFIG_HOME"], "Snipbrook", "Snipbrook.conf")
    with open(path) as file:
        text = file.read()
    text, found = re.subn(r'(maxClipboardItems\\":)\d+', r"\g<1>%d" % max_items, text)
    if not found:
        raise SystemExit("no maxClipboardItems in " + path)
    with open(path, "w") as file:
        file.write(text)


def png(width, height):
    """An incompressible RGB PNG (random pixels), about width * height * 3 bytes."""
    raw = b"".join(b"\0" + os.urandom(width * 3) for _ in range(height))
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


def image_items(count, start_seconds):
    for i in range(count):
        data = png(580, 580)  # a little over 1 MB
        content = base64.b64encode(data).decode()
        # A captured image's preview is its data (stored once).
        yield {"id": str(uuid.uuid4()).upper(), "type": "image", "content": content, "preview": content, "timestamp": start_seconds + i * 0.01, "isFavorite": False,
               "metadata": {"size": len(data)}}


class MainWindowDesktop(qa.Desktop):
    def __init__(self, name):
        super().__init__(name)
        self.client = None

    def find_client(self):
        atom = self.d.intern_atom("_NET_CLIENT_LIST")
        clients = self.root.get_full_property(atom, X.AnyPropertyType)
        for wid in (clients.value if clients else []):
            window = self.d.create_resource_object("window", wid)
            if window.get_wm_name() == TITLE:
                self.client = window
                return True
        return False

    def toplevel(self):
        window = self.client
        while True:
            parent = window.query_tree().parent
            if parent.id == self.root.id:
                return window
            window = parent

    def wait_map(self, kind, timeout=20.0):
        deadline = time.perf_counter() + timeout
        while True:
            while self.d.pending_events():
                event = self.d.next_event()
                if event.type == kind:
                    at = time.perf_counter()
                    if kind == X.UnmapNotify and self.client.get_attributes().map_state == X.IsUnmapped:
                        return at
                    if kind == X.MapNotify and event.window.id == self.toplevel().id:
                        return at
            left = deadline - time.perf_counter()
            if left <= 0:
                raise SystemExit("the main window did not " + ("show" if kind == X.MapNotify else "hide"))
            select.select([self.d.fileno()], [], [], min(left, 0.05))
            if kind == X.UnmapNotify and self.client.get_attributes().map_state == X.IsUnmapped:
                return time.perf_counter()

    def grid_image(self):
        # Part of the card grid: right of the sidebar, below the search bar and status row.
        return self.client.get_image(300, 220, 640, 420, X.ZPixmap, 0xFFFFFFFF).data

    def cards_painted(self):
        data = self.grid_image()
        return data.count(data[:4]) * 4 != len(data)

    def show(self, env):
        """Milliseconds from `snipbrook show` to the window mapped, and to its cards painted."""
        self.drain()
        start = time.perf_counter()
        subprocess.Popen([qa.BINARY, "show"], env=env, stdout=subprocess.DEVNULL)
        mapped = self.wait_map(X.MapNotify)
        if not qa.wait_for(self.cards_painted, 10, 0):
            raise SystemExit("the cards were never painted")
        return (mapped - start) * 1000, (time.perf_counter() - start) * 1000

    def hide(self, env):
        self.drain()
        qa.cli(env, "hide")
        self.wait_map(X.UnmapNotify)

    def scroll_to_end(self):
        """Wheel clicks over the grid until it stops changing; the number of clicks."""
        x, y = self.toplevel().get_geometry().x + 620, self.toplevel().get_geometry().y + 430
        xtest.fake_input(self.d, X.MotionNotify, x=x, y=y)
        self.d.sync()
        clicks, unchanged, last = 0, 0, self.grid_image()
        while unchanged < 5:
            for _ in range(10):
                xtest.fake_input(self.d, X.ButtonPress, 5)
                xtest.fake_input(self.d, X.ButtonRelease, 5)
            self.d.sync()
            clicks += 10
            time.sleep(0.03)
            image = self.grid_image()
            unchanged = unchanged + 1 if image == last else 0
            last = image
        return clicks


def timed_showings(desktop, env, label):
    first_map, first_paint = desktop.show(env)
    desktop.hide(env)
    maps, paints = [], []
    for _ in range(SHOWINGS):
        mapped, painted = desktop.show(env)
        maps.append(mapped)
        paints.append(painted)
        desktop.hide(env)
    print(f"{label}: first after start-up: mapped {first_map:.1f} ms, painted {first_paint:.1f} ms; "
          f"{SHOWINGS} more: mapped median {statistics.median(maps):.1f} ms, painted median "
          f"{statistics.median(paints):.1f} ms (max {max(paints):.1f} ms)", flush=True)


def restart(desktop, env, instance, expected_items):
    if instance:
        quit_instance(env, instance)
    instance = start_instance(env)
    if not qa.wait_for(lambda: items_count(env) == expected_items, 300, 0.1):
        raise SystemExit(f"the history did not load {expected_items} items (status says {items_count(env)})")
    if not qa.wait_for(desktop.find_client, 30, 0.05):
        raise SystemExit("no main window")
    # The start-up showing goes away first: from here on `show` is timed.
    if desktop.client.get_attributes().map_state != X.IsUnmapped:
        desktop.hide(env)
    wait_idle(instance.pid)
    return instance


def main():
    xvfb, display = qa.start_xvfb()
    bus, address = qa.start_session_bus()
    home = tempfile.mkdtemp(prefix="snipbrook-main-window-bench-")
    env = qa.environment(home, display, address)
    helpers, instance = [], None
    try:
        desktop = MainWindowDesktop(display)
        helpers += qa.start_desktop(env, desktop)
        # No welcome message on the first launch (it would stay open over the window).
        qa.seed_preferences(env)
        # A stored configuration to edit (any saved change writes it).
        instance = start_instance(env)
        if qa.cli(env, "ignore", "add", "bench.placeholder").returncode or qa.cli(env, "ignore", "remove",
                                                                                  "bench.placeholder").returncode:
            raise SystemExit("could not save the configuration")
        quit_instance(env, instance)
        configure(env, 10000)
        instance = start_instance(env)
        lines = "".join(f"history item {i}: notes about topic {i % 37}, line {i * 7919 % 1000}\n" for i in range(1000))
        if qa.cli(env, "add", "--lines", stdin=lines.encode()).returncode != 0:
            raise SystemExit("could not fill the history")
        instance = restart(desktop, env, instance, 1000)
        timed_showings(desktop, env, "show, 1,000 items")

        lines = "".join(f"older item {i}: remarks on subject {i % 53}, page {i * 104729 % 9000}\n" for i in range(9000))
        if qa.cli(env, "add", "--lines", stdin=lines.encode()).returncode != 0:
            raise SystemExit("could not fill the history")
        instance = restart(desktop, env, instance, 10000)
        timed_showings(desktop, env, "show, 10,000 items")
        text_only = qa.rss_mb(instance.pid)

        # 200 images of 1 MB, the newest of the 10,000 (in four files: an import file holds at
        # most 256 MB); the 200 oldest text items leave the history held in memory.
        now = time.time() - REFERENCE_UNIX
        images = list(image_items(200, now))
        for part in (images[i:i + 50] for i in range(0, 200, 50)):
            path = os.path.join(home, "images.json")
            with open(path, "w") as file:
                json.dump(part, file)
            result = qa.cli(env, "import", path)
            if result.returncode != 0:
                raise SystemExit("import failed: " + (result.stdout + result.stderr).decode())
            os.remove(path)
        del images
        instance = restart(desktop, env, instance, 10000)
        hidden = qa.rss_mb(instance.pid)
        desktop.show(env)
        time.sleep(2)
        shown = qa.rss_mb(instance.pid)
        clicks = desktop.scroll_to_end()
        time.sleep(5)  # thumbnails still decoding settle
        after = qa.rss_mb(instance.pid)
        with open(f"/proc/{instance.pid}/status") as status:
            peak = next(int(line.split()[1]) / 1024 for line in status if line.startswith("VmHWM:"))
        print(f"resident memory, 10,000 text items: {text_only:.1f} MB (after the showings)")
        print(f"resident memory, 10,000 items with 200 images of 1 MB: {hidden:.1f} MB loaded, window hidden; "
              f"{shown:.1f} MB showing the top, "
              f"{after:.1f} MB after scrolling to the end ({clicks} wheel clicks), peak {peak:.1f} MB", flush=True)
        quit_instance(env, instance)
        instance = None
    except BaseException:
        with open(qa.instance_log(env), errors="replace") as log:
            print("".join(log.readlines()[-30:]), file=sys.stderr)
        raise
    finally:
        if instance:
            instance.kill()
        for helper in reversed(helpers):
            helper.terminate()
            helper.wait(10)
        bus.terminate()
        xvfb.terminate()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
