#!/usr/bin/env bash
# Sets everything up, builds Snipbrook for /usr and makes the Debian package
# build/package/snipbrook_<version>_<arch>.deb. Its dependencies are computed from the binaries.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/setup.sh" package
cd "$root/build/package"
rm -f snipbrook_*.deb
cpack -G DEB -B "$root/build/package" > cpack.log 2>&1 || { cat cpack.log >&2; exit 1; }
rm -rf _CPack_Packages
ls "$root"/build/package/snipbrook_*.deb
