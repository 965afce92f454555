#!/usr/bin/env python3
"""Snipbrook on a private Xvfb: capture latency, start-up, command-line call time and memory.

Usage: bench/desktop_bench.py [path/to/snipbrook]   (default: build/bench/src/app/snipbrook)
Builds nothing; run scripts/setup.sh bench first (scripts/bench.sh does).
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BINARY = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build/bench/src/app/snipbrook")


def start_xvfb():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
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


def environment(home, display):
    env = dict(os.environ)
    for name, sub in (("XDG_DATA_HOME", "data"), ("XDG_CONFIG_HOME", "config"), ("XDG_RUNTIME_DIR", "run")):
        os.makedirs(os.path.join(home, sub), mode=0o700, exist_ok=True)
        env[name] = os.path.join(home, sub)
    env.update(HOME=home, DISPLAY=display, DBUS_SESSION_BUS_ADDRESS="disabled:")
    env.pop("QT_QPA_PLATFORM", None)
    return env


def cli(env, *args, stdin=None):
    return subprocess.run([BINARY, *args], env=env, input=stdin, capture_output=True)


def wait_for(condition, timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.001)
    return False


def start_instance(env):
    instance = subprocess.Popen([BINARY], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start = time.monotonic()
    if not wait_for(lambda: cli(env, "status").returncode == 0):
        raise SystemExit("snipbrook did not answer")
    return instance, (time.monotonic() - start) * 1000


def newest_content(env):
    out = cli(env, "list", "--limit", "1", "--json").stdout
    return out


def rss_mb(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


def main():
    xvfb, display = start_xvfb()
    home = tempfile.mkdtemp(prefix="snipbrook-bench-")
    env = environment(home, display)
    owners = []
    try:
        instance, _ = start_instance(env)

        latencies = []
        for i in range(40):
            text = f"bench copy {i} {time.time_ns()}"
            start = time.monotonic()
            owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], env=env,
                                     stdin=subprocess.PIPE, stderr=subprocess.DEVNULL)
            owner.stdin.write(text.encode())
            owner.stdin.close()
            owners.append(owner)
            if not wait_for(lambda: text.encode() in newest_content(env), 10):
                raise SystemExit("a copy was not captured")
            latencies.append((time.monotonic() - start) * 1000)
            if len(owners) > 2:
                owners.pop(0).kill()
        print(f"capture latency, xclip to list: median {statistics.median(latencies):.1f} ms, "
              f"p90 {sorted(latencies)[int(len(latencies) * 0.9)]:.1f} ms")

        calls = []
        for _ in range(40):
            start = time.monotonic()
            cli(env, "status")
            calls.append((time.monotonic() - start) * 1000)
        print(f"one command-line call (status): median {statistics.median(calls):.1f} ms")

        # Fill the history to 1,000 items, then restart.
        for i in range(1000 - 40):
            cli(env, "add", f"stored item number {i} with a little text about topic {i % 37}")
        cli(env, "quit")
        instance.wait(30)

        startups = []
        for _ in range(5):
            instance, ms = start_instance(env)
            startups.append(ms)
            cli(env, "quit")
            instance.wait(30)
        print(f"start-up with 1,000 items, launch to status answering: median {statistics.median(startups):.1f} ms")

        instance, _ = start_instance(env)
        wait_for(lambda: b"Model: loaded" in cli(env, "status").stdout and
                 b"Items: 1000" in cli(env, "status").stdout, 60)
        time.sleep(2)
        print(f"resident memory, idle, 1,000 items, model loaded: {rss_mb(instance.pid):.1f} MB")
        cli(env, "quit")
        instance.wait(30)
    finally:
        for owner in owners:
            owner.kill()
        xvfb.terminate()
        shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
