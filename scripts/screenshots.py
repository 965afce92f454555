#!/usr/bin/env python3
"""Renders the main window, the quick-access panel and the settings window with sample data on a
private desktop (Xvfb, openbox, trayer, a session bus of its own) into docs/screenshots/.

Usage: /usr/bin/python3 scripts/screenshots.py [BUILD_DIR]   (default: build/release)
BUILD_DIR needs src/app/snipbrook and src/app/snipbrook-instance.
"""
import base64
import json
import os
import struct
import subprocess
import sys
import tempfile
import time
import uuid
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
if len(sys.argv) < 2:
    sys.argv.append(os.path.join(ROOT, "build/release"))
sys.path.insert(0, os.path.join(ROOT, "bench"))
import quick_access_bench as qa  # noqa: E402  (the desktop, bus and instance helpers)

from Xlib import X  # noqa: E402

OUT = os.path.join(ROOT, "docs/screenshots")
REFERENCE_UNIX = 978307200  # item times count seconds from 2001-01-01
BACKDROP = 0x4A5A70


def png_bytes(width, height, rgb_rows):
    chunk = lambda kind, data: (struct.pack(">I", len(data)) + kind + data +
                                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + row for row in rgb_rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def sample_image():
    """A small landscape: sky, sun and hills, as an RGB PNG."""
    width, height = 320, 200
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            hill = 130 + 25 * __import__("math").sin(x / 40.0) + 10 * __import__("math").sin(x / 13.0)
            if (x - 240) ** 2 + (y - 55) ** 2 < 22 ** 2:
                pixel = (255, 214, 90)
            elif y > hill:
                shade = int(60 + (y - hill) * 0.6)
                pixel = (40, min(255, shade + 80), 70)
            else:
                pixel = (110 + y // 3, 170 + y // 4, 235)
            row += bytes(pixel)
        rows.append(bytes(row))
    return png_bytes(width, height, rows)


def sample_items():
    now = time.time() - REFERENCE_UNIX
    image = base64.b64encode(sample_image()).decode()
    entries = [
        ("text", "Meeting moved to Thursday 10:30, room 4B. Bring the quarterly figures.", None, "Thunderbird", 60),
        ("link", "https://en.wikipedia.org/wiki/Brook", {"url": "https://en.wikipedia.org/wiki/Brook"}, "Firefox", 300),
        ("code", "def fibonacci(n):\n    a, b = 0, 1\n    for _ in range(n):\n        a, b = b, a + b\n    return a",
         {"language": "Python"}, "Code", 900),
        ("image", image, {"size": len(image) * 3 // 4}, "GIMP", 1800),
        ("color", "#3B82F6", {"colorValue": "#3B82F6"}, "Inkscape", 3600),
        ("email", "ada.lovelace@example.org", None, "Thunderbird", 7200),
        ("phone", "+44 20 7946 0958", None, "Firefox", 20000),
        ("emoji", "🎉", None, "Telegram", 40000),
        ("text", "sudo apt-get install ./snipbrook_0.1.0_amd64.deb", None, "Terminal", 90000),
        ("code", "SELECT name, count(*) FROM items GROUP BY name ORDER BY 2 DESC;", {"language": "SQL"}, "Code", 100000),
        ("link", "https://www.debian.org/releases/bookworm/", {"url": "https://www.debian.org/releases/bookworm/"},
         "Firefox", 200000),
        ("text", "Remember: water the plants on Sunday.", None, "Notes", 300000),
    ]
    items = []
    for kind, content, metadata, app, age in entries:
        meta = dict(metadata or {})
        meta["sourceApp"] = app
        preview = content if kind == "image" else content[:200]
        items.append({"id": str(uuid.uuid4()).upper(), "type": kind, "content": content, "preview": preview,
                      "timestamp": now - age, "isFavorite": kind in ("code",) and age == 900, "metadata": meta})
    return items


class Shooter(qa.Desktop):
    def client(self, title, timeout=20):
        atom = self.d.intern_atom("_NET_CLIENT_LIST")
        found = []

        def look():
            clients = self.root.get_full_property(atom, X.AnyPropertyType)
            for wid in (clients.value if clients else []):
                window = self.d.create_resource_object("window", wid)
                if window.get_wm_name() == title and window.get_attributes().map_state == X.IsViewable:
                    found.append(window)
                    return True
            return False
        if not qa.wait_for(look, timeout, 0.05):
            raise SystemExit("no window titled " + title)
        return found[0]

    def frame(self, window):
        while True:
            parent = window.query_tree().parent
            if parent.id == self.root.id:
                return window
            window = parent

    def save(self, name, x, y, width, height):
        time.sleep(1.0)  # thumbnails, icons and the spinner settle
        data = self.root.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF).data
        rows = []
        for row in range(height):
            line = data[row * width * 4:(row + 1) * width * 4]
            rgb = bytearray(width * 3)
            rgb[0::3], rgb[1::3], rgb[2::3] = line[2::4], line[1::4], line[0::4]
            rows.append(bytes(rgb))
        path = os.path.join(OUT, name)
        with open(path, "wb") as file:
            file.write(png_bytes(width, height, rows))
        print("wrote", os.path.relpath(path, ROOT))

    def save_window(self, name, window, margin=24):
        geometry = self.frame(window).get_geometry()
        screen = self.d.screen()
        x, y = max(0, geometry.x - margin), max(0, geometry.y - margin)
        width = min(screen.width_in_pixels - x, geometry.width + 2 * margin)
        height = min(screen.height_in_pixels - y, geometry.height + 2 * margin)
        self.save(name, x, y, width, height)


def main():
    os.makedirs(OUT, exist_ok=True)
    xvfb, display = qa.start_xvfb()
    bus, address = qa.start_session_bus()
    home = tempfile.mkdtemp(prefix="snipbrook-screenshots-")
    env = qa.environment(home, display, address)
    helpers, instance = [], None
    try:
        desktop = Shooter(display)
        desktop.root.change_attributes(background_pixel=BACKDROP)
        desktop.root.clear_area(0, 0, 0, 0)
        helpers += qa.start_desktop(env, desktop, tray_options=("--tint", "0x2b2b2b", "--transparent", "true",
                                                                 "--alpha", "0"))
        qa.seed_preferences(env)
        instance = qa.start_instance(env)
        path = os.path.join(home, "samples.json")
        with open(path, "w") as file:
            json.dump(sample_items(), file)
        result = qa.cli(env, "import", path)
        if result.returncode != 0:
            raise SystemExit("import failed: " + (result.stdout + result.stderr).decode())

        qa.cli(env, "show")
        main_window = desktop.client("Snipbrook")
        desktop.save_window("main-window.png", main_window)
        qa.cli(env, "hide")

        qa.cli(env, "popup")
        time.sleep(0.5)
        screen = desktop.d.screen()
        # The panel opens under the tray icon, at the top right.
        desktop.save("quick-access.png", screen.width_in_pixels - 460, 0, 460, 560)
        desktop.keys(("down", "Escape"), ("up", "Escape"))

        qa.cli(env, "settings")
        desktop.save_window("settings.png", desktop.client("Snipbrook Settings"))
    finally:
        qa.tear_down(env, instance, helpers, bus, xvfb, home)


if __name__ == "__main__":
    main()
