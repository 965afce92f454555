#!/usr/bin/env python3
"""Snipbrook on Wayland, under a headless sway of its own (pixman renderer, no input devices):

- `wl-copy` of a text to `snipbrook list` showing it: median and slowest of 30;
- the compositor-bound shortcut (Ctrl+Shift+Space, sent with wtype) to the quick-access panel
  mapped: median of 15 openings.

Method. sway refuses to run as root, so as root it runs as the unprivileged user "snipbrook-sway"
(created once) with a private 0700 runtime folder, and Snipbrook runs as that user too, as in a
real session: the command sway's binding runs must reach the instance's socket in that folder.
wl-copy and wtype run as the caller and reach sway through the absolute path of its socket. One `wtype -s` keeps a virtual keyboard
alive for the whole run, so that focus does not flicker as each wtype call adds its own.
Copy: the clock starts before wl-copy is started (it returns once it has taken the selection)
and stops when `snipbrook list --json --limit 1` first shows the text; the list calls themselves
(about 3 ms each) are in the figure. Shortcut: the clock starts before wtype is started; the
panel counts as mapped when sway's IPC reports a new (or newly focused) window of app id
"com.snipbrook.app"; the main window stays in the tray (started with --background), so that is
the panel. Escape closes it between openings. Targets: copy median <= 15 ms,
shortcut median <= 40 ms.

Usage: /usr/bin/python3 bench/wayland_bench.py [BUILD_DIR]   (default: build/bench)
"""
import json
import os
import pwd
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/bench"))
BINARY = os.path.join(BUILD, "src/app/snipbrook")
SWAY_USER = "snipbrook-sway"
ACCOUNT = None  # the user sway and Snipbrook run as, when the caller is root
COPIES = 30
OPENINGS = 15


def wait_for(condition, timeout=30.0, step=0.001):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = condition()
        if result:
            return result
        time.sleep(step)
    return None


def sway_account():
    """The user sway runs as: the caller, unless that is root."""
    if os.getuid() != 0:
        return None
    try:
        pwd.getpwnam(SWAY_USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", SWAY_USER],
                       check=True)
    return pwd.getpwnam(SWAY_USER)


def as_sway_user(account, command):
    if not account:
        return command
    return ["setpriv", f"--reuid={account.pw_uid}", f"--regid={account.pw_gid}", "--clear-groups", *command]


def start_sway(work, account):
    runtime = tempfile.mkdtemp(prefix="sway-run-")
    os.chmod(runtime, 0o700)
    config = os.path.join(work, "sway.cfg")
    with open(config, "w") as file:
        file.write(f"output HEADLESS-1 resolution 1280x800\ndefault_border none\n"
                   f"bindsym ctrl+shift+space exec {BINARY} popup\n")
    os.chmod(work, 0o755)
    os.chmod(config, 0o644)
    env = {"PATH": os.environ["PATH"], "XDG_RUNTIME_DIR": runtime, "WLR_BACKENDS": "headless",
           "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman", "HOME": runtime}
    if account:
        os.chown(runtime, account.pw_uid, account.pw_gid)
    sway = subprocess.Popen(as_sway_user(account, ["sway", "-c", config]), env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    socket = wait_for(lambda: next((os.path.join(runtime, name) for name in os.listdir(runtime)
                                    if name.startswith("wayland-") and not name.endswith(".lock")), None), 20, 0.02)
    ipc = wait_for(lambda: next((os.path.join(runtime, name) for name in os.listdir(runtime)
                                 if name.startswith("sway-ipc.")), None), 20, 0.02)
    if not socket or not ipc:
        sway.terminate()
        raise SystemExit("sway did not start")
    return sway, runtime, socket, ipc


def environment(home, runtime, socket, ipc, account):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
    for name, sub in (("XDG_DATA_HOME", "data"), ("XDG_CONFIG_HOME", "config")):
        os.makedirs(os.path.join(home, sub), mode=0o700, exist_ok=True)
        env[name] = os.path.join(home, sub)
    env.update(HOME=home, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=socket, SWAYSOCK=ipc,
               SNIPBROOK_PLATFORM="wayland", DBUS_SESSION_BUS_ADDRESS="disabled:")
    folder = os.path.join(env["XDG_CONFIG_HOME"], "Snipbrook")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    with open(os.path.join(folder, "Snipbrook.conf"), "w") as file:
        file.write("[General]\nhasShownWelcome=true\nstartInBackground=true\n")
    if account:
        subprocess.run(["chown", "-R", f"{account.pw_uid}:{account.pw_gid}", home], check=True)
    return env


def cli(env, *args):
    return subprocess.run(as_sway_user(ACCOUNT, [BINARY, *args]), env=env, capture_output=True)


def newest_text(env):
    listing = cli(env, "list", "--json", "--limit", "1")
    if listing.returncode != 0:
        return None
    items = json.loads(listing.stdout or b"[]")
    return items[0].get("content") if items else None


def main():
    if not os.access(BINARY, os.X_OK):
        raise SystemExit("no snipbrook in " + BUILD + " (scripts/setup.sh bench builds it)")
    global ACCOUNT
    ACCOUNT = sway_account()
    work = tempfile.mkdtemp(prefix="snipbrook-wl-bench-")
    sway, runtime, socket, ipc = start_sway(work, ACCOUNT)
    env = environment(os.path.join(work, "home"), runtime, socket, ipc, ACCOUNT)
    keyboard = subprocess.Popen(["wtype", "-s", "600000"], env=env)
    log = open(os.path.join(work, "instance.log"), "wb")
    # Straight to the tray, as at login: a main window in front would own the copies made meanwhile.
    instance = subprocess.Popen(as_sway_user(ACCOUNT, [BINARY, "--background"]), env=env, stdout=log,
                                stderr=subprocess.STDOUT)
    events = None
    try:
        if not wait_for(lambda: cli(env, "status").returncode == 0, 60, 0.02):
            raise SystemExit("snipbrook did not answer")
        status = cli(env, "status").stdout.decode()
        print(status)

        copies = []
        for i in range(COPIES + 3):
            text = f"wayland bench copy {i} {time.time_ns()}"
            start = time.perf_counter()
            subprocess.run(["wl-copy", text], env=env, check=True)
            if not wait_for(lambda: newest_text(env) == text, 10, 0):
                raise SystemExit(f"copy {i} never showed:\n" + open(log.name, errors="replace").read()[-6000:])
            if i >= 3:  # the first ones warm the caches
                copies.append((time.perf_counter() - start) * 1000)
        print(f"wl-copy to list: median {statistics.median(copies):.1f} ms, slowest {max(copies):.1f} ms "
              f"({COPIES} copies)")

        # Line-buffered, or the events would arrive in 4 KB lumps.
        events = subprocess.Popen(["stdbuf", "-oL", "swaymsg", "-t", "subscribe", "-m", '["window"]'], env=env,
                                  stdout=subprocess.PIPE, text=True)
        time.sleep(0.3)  # the subscription is in place
        openings = []

        def wait_for_event(change, since):
            while True:
                line = events.stdout.readline()
                if not line:
                    raise SystemExit("sway's event stream ended")
                event = json.loads(line)
                container = event.get("container", {})
                if os.environ.get("BENCH_DEBUG"):
                    print(f"{(time.perf_counter() - since) * 1000:8.1f} ms {event.get('change')} "
                          f"{container.get('app_id')} {container.get('name')}")
                if event.get("change") == change and container.get("app_id") == "com.snipbrook.app":
                    return time.perf_counter()

        for i in range(OPENINGS + 2):
            start = time.perf_counter()
            subprocess.Popen(["wtype", "-M", "ctrl", "-M", "shift", "-k", "space", "-m", "shift", "-m", "ctrl"], env=env)
            mapped = wait_for_event("new", start)
            if i >= 2:  # the first ones build the panel and warm the caches
                openings.append((mapped - start) * 1000)
            time.sleep(0.2)
            subprocess.run(["wtype", "-k", "Escape"], env=env)
            wait_for_event("close", start)
            time.sleep(0.1)
        print(f"shortcut to panel mapped: median {statistics.median(openings):.1f} ms, slowest {max(openings):.1f} ms "
              f"({OPENINGS} openings)")
    finally:
        if events:
            events.terminate()
        cli(env, "quit")
        try:
            instance.wait(30)
        except subprocess.TimeoutExpired:
            instance.kill()
        keyboard.terminate()
        sway.terminate()
        sway.wait(10)
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(runtime, ignore_errors=True)


if __name__ == "__main__":
    main()
