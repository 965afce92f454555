#!/usr/bin/env bash
# Builds the optimised benchmark programs and runs them all (or those matching a filter).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" bench
for program in "$root"/build/bench/bench/bench_*; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_filter="${1:-.}"
done
# The whole program on a private X server.
if [ -z "${1:-}" ] || [ "$1" = desktop ]; then
  echo "== desktop"
  python3 "$root/bench/desktop_bench.py" "$root/build/bench/src/app/snipbrook"
fi
# The quick-access path: shortcut to panel, paste, memory.
if [ -z "${1:-}" ] || [ "$1" = quick-access ]; then
  echo "== quick-access"
  python3 "$root/bench/quick_access_bench.py" "$root/build/bench"
fi
