#!/usr/bin/env python3
"""Snipbrook importing a legacy history of many items: time until the history is listed, until the
items are stored, and (optionally) until all are embedded and indexed.

Usage: bench/legacy_import_bench.py [--items N] [--index-wait SECONDS] [path/to/snipbrook]
       (default: 100000 items, 0 s of waiting for the index, build/bench/src/app/snipbrook)
Runs without a display (capture off); builds nothing.
"""
import argparse
import json
import os
import shutil
import subprocess
import tempfile
import time
import uuid

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORDS = ("alpha beta gamma delta river stone cloud paper window garden meeting invoice "
         "release build kernel coffee ticket budget draft music").split()


def legacy_file(path, count):
    # The history file of earlier versions: newest first, times in seconds since 2001-01-01, ten
    # seconds apart, so that all are younger than the 30 days after which old items are removed.
    now = time.time() - 978307200
    items = []
    for n in range(count):
        words = " ".join(WORDS[(n * 7 + k * 3) % len(WORDS)] for k in range(8))
        text = f"{words} {n}"
        items.append({"id": str(uuid.uuid4()).upper(), "type": "text", "content": text, "preview": text,
                      "timestamp": now - n * 10, "isFavorite": False})
    with open(path, "w") as out:
        json.dump(items, out)


def status(binary, env):
    result = subprocess.run([binary, "status"], env=env, capture_output=True, text=True)
    return result.stdout if result.returncode == 0 else ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--items", type=int, default=100000)
    parser.add_argument("--index-wait", type=float, default=0.0)
    parser.add_argument("binary", nargs="?", default=os.path.join(ROOT, "build/bench/src/app/snipbrook"))
    args = parser.parse_args()

    home = tempfile.mkdtemp(prefix="snipbrook-import-")
    env = dict(os.environ)
    for name, sub in (("XDG_DATA_HOME", "data"), ("XDG_CONFIG_HOME", "config"), ("XDG_RUNTIME_DIR", "run")):
        os.makedirs(os.path.join(home, sub), mode=0o700, exist_ok=True)
        env[name] = os.path.join(home, sub)
    env.update(HOME=home, DBUS_SESSION_BUS_ADDRESS="disabled:")
    env.pop("DISPLAY", None)
    os.makedirs(os.path.join(home, "Documents"))
    legacy_file(os.path.join(home, "Documents", "clipboard_history.json"), args.items)

    log = open(os.path.join(home, "instance.log"), "w+")
    start = time.monotonic()
    instance = subprocess.Popen([args.binary], env=env, stdout=log, stderr=subprocess.STDOUT)
    listed = stored = indexed = None
    try:
        while time.monotonic() - start < 600:
            log.seek(0)
            text = log.read()
            if listed is None and "📱 Loaded" in text:
                listed = time.monotonic() - start
            if stored is None and ("Migration completed" in text or "Migration incomplete" in text):
                stored = time.monotonic() - start
            if listed is not None and stored is not None:
                break
            time.sleep(0.05)
        deadline = time.monotonic() + args.index_wait
        while args.index_wait > 0 and time.monotonic() < deadline:
            line = [l for l in status(args.binary, env).splitlines() if l.startswith("Indexed")]
            if line and line[0].endswith(f": {args.items}"):
                indexed = time.monotonic() - start
                break
            time.sleep(5)
        last = status(args.binary, env)
    finally:
        subprocess.run([args.binary, "quit"], env=env, capture_output=True)
        try:
            instance.wait(timeout=60)
        except subprocess.TimeoutExpired:
            instance.kill()
        shutil.rmtree(home, ignore_errors=True)

    print(f"legacy import of {args.items} items")
    print(f"  history listed after   {listed:.1f} s" if listed is not None else "  history not listed")
    print(f"  all stored after       {stored:.1f} s" if stored is not None else "  not all stored in time")
    if args.index_wait > 0:
        print(f"  all indexed after      {indexed:.0f} s" if indexed else "  not all indexed in the wait")
    print("  " + "\n  ".join(l for l in last.splitlines() if l.startswith(("Items", "Indexed", "Storage"))))


if __name__ == "__main__":
    main()
