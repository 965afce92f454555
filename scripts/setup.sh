#!/usr/bin/env bash
# Installs what Snipbrook needs to build, run and test on Debian 12 (only what is missing),
# fetches the sentence-encoder weights, then configures and builds.
#   scripts/setup.sh [release|test|bench|package]   (default: release)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
flavour="${1:-release}"

packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  qt6-base-dev
  libicu-dev libsqlite3-dev libeigen3-dev libopenblas-dev
  libxcb1-dev libxcb-keysyms1-dev libxcb-xfixes0-dev libxcb-xtest0-dev libxtst-dev
  libxkbcommon-x11-dev
  libwayland-dev wayland-protocols librust-wayland-protocols-dev qt6-wayland
  libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev
  openssl npm
  xvfb openbox xclip xdotool dbus dbus-x11 x11-utils fonts-dejavu-core trayer xterm python3-xlib
  sway wl-clipboard wtype foot
  librsvg2-bin desktop-file-utils appstream man-db dpkg-dev file fakeroot
)

missing=()
for package in "${packages[@]}"; do
  # npm may come with a Node.js installed some other way.
  if [ "$package" = npm ] && command -v npm >/dev/null 2>&1; then continue; fi
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

case "$flavour" in
  release) build="$root/build/release"; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSNIPBROOK_TESTS=OFF) ;;
  # The benchmarks are built too (not run), so a change that breaks them shows at once.
  test)    build="$root/build/test";    args=(-DCMAKE_BUILD_TYPE=Debug -DSNIPBROOK_SANITIZE=ON -DSNIPBROOK_BENCH=ON) ;;
  bench)   build="$root/build/bench";   args=(-DCMAKE_BUILD_TYPE=Release -DSNIPBROOK_TESTS=OFF -DSNIPBROOK_BENCH=ON) ;;
  # What the Debian package is made from: installed under /usr.
  package) build="$root/build/package"; args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DSNIPBROOK_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr) ;;
  *) echo "usage: scripts/setup.sh [release|test|bench|package]" >&2; exit 2 ;;
esac

# Model weights go into the build tree's data folder (never into the source tree).
if [ -x "$root/scripts/fetch-model.sh" ]; then
  "$root/scripts/fetch-model.sh" "$build/data/model"
fi

cmake -S "$root" -B "$build" -G Ninja "${args[@]}"
cmake --build "$build" --parallel "$(nproc)"
echo "Built $flavour in $build"
