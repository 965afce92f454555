#!/usr/bin/env python3
"""The settings window on a private desktop (Xvfb, openbox, trayer, a session bus of its own):
`snipbrook settings` to the window on screen with its sections painted, the first time (the window
is built then) and the median of 15 more (Escape closes it between). The installed applications
are scanned in the background meanwhile; the timing shows whether that holds the window back.

Method as in main_window_bench.py: the clock starts just before `snipbrook settings` is launched;
"on screen" is the MapNotify of the window manager's frame; "painted" is the first moment a part
of the window's sections, read back with GetImage, is no longer one uniform colour.
Target: at most 100 ms to painted.

Usage: /usr/bin/python3 bench/settings_window_bench.py [BUILD_DIR]   (default: build/bench)
"""
import statistics
import subprocess
import sys
import tempfile
import time

import main_window_bench as mw  # noqa: E402  (the desktop, bus and instance helpers)
from main_window_bench import qa, X  # noqa: E402
import Xlib.error  # noqa: E402

TITLE = "Snipbrook Settings"
OPENINGS = 15


class SettingsDesktop(mw.MainWindowDesktop):
    def find_client(self):
        """The settings window while the window manager lists it (it may be a new one each time)."""
        atom = self.d.intern_atom("_NET_CLIENT_LIST")
        clients = self.root.get_full_property(atom, X.AnyPropertyType)
        for wid in (clients.value if clients else []):
            window = self.d.create_resource_object("window", wid)
            try:
                if window.get_wm_name() == TITLE:
                    self.client = window
                    return True
            except Xlib.error.XError:
                continue  # gone meanwhile
        return False

    def shown(self):
        try:
            return self.find_client() and self.client.get_attributes().map_state == X.IsViewable
        except Xlib.error.XError:
            return False

    def sections_painted(self):
        data = self.client.get_image(20, 60, 600, 300, X.ZPixmap, 0xFFFFFFFF).data
        return data.count(data[:4]) * 4 != len(data)

    def open(self, env):
        self.drain()
        start = time.perf_counter()
        subprocess.Popen([qa.BINARY, "settings"], env=env, stdout=subprocess.DEVNULL)
        if not qa.wait_for(self.shown, 20, 0):
            raise SystemExit("no settings window")
        mapped = self.wait_map(X.MapNotify)
        if not qa.wait_for(self.sections_painted, 10, 0):
            raise SystemExit("the settings window was never painted")
        return (mapped - start) * 1000, (time.perf_counter() - start) * 1000

    def close(self):
        self.drain()
        self.keys(("down", "Escape"), ("up", "Escape"))
        if not qa.wait_for(lambda: not self.shown(), 20, 0.01):
            raise SystemExit("Escape did not close the settings window")


def main():
    xvfb, display = qa.start_xvfb()
    bus, address = qa.start_session_bus()
    home = tempfile.mkdtemp(prefix="snipbrook-settings-bench-")
    env = qa.environment(home, display, address)
    helpers, instance = [], None
    try:
        desktop = SettingsDesktop(display)
        helpers += qa.start_desktop(env, desktop, tray=False)
        qa.seed_preferences(env, ("hasShownWelcome=true", "startInBackground=true"))
        instance = mw.start_instance(env)
        mw.wait_idle(instance.pid)
        first_map, first_paint = desktop.open(env)
        desktop.close()
        maps, paints = [], []
        for _ in range(OPENINGS):
            mapped, painted = desktop.open(env)
            maps.append(mapped)
            paints.append(painted)
            desktop.close()
        print(f"settings window: first: mapped {first_map:.1f} ms, painted {first_paint:.1f} ms; {OPENINGS} more: "
              f"mapped median {statistics.median(maps):.1f} ms, painted median {statistics.median(paints):.1f} ms "
              f"(max {max(paints):.1f} ms); instance RSS {qa.rss_mb(instance.pid):.0f} MB", flush=True)
    finally:
        qa.tear_down(env, instance, helpers, bus, xvfb, home, mw.quit_instance)


if __name__ == "__main__":
    main()
