#!/usr/bin/env bash
# Sets everything up, builds, and runs Snipbrook in the foreground (Ctrl+C quits).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" release
exec "$root/build/release/src/app/snipbrook" "$@"
