#!/usr/bin/env bash
# Checks the Debian package scripts/package.sh made: computed dependencies, the files in place,
# and the unpacked program answering --version and (started from the unpacked tree) status.
#   package_test.sh PACKAGE_DIR
# Skipped (77) when there is no package, unless SNIPBROOK_REQUIRE_PACKAGE=1 (CI).
set -euo pipefail
dir="$1"
shopt -s nullglob
debs=("$dir"/snipbrook_*.deb)
if [ "${#debs[@]}" -eq 0 ]; then
  [ "${SNIPBROOK_REQUIRE_PACKAGE:-0}" = 1 ] && { echo "FAIL: no package in $dir (run scripts/package.sh)" >&2; exit 1; }
  echo "no package in $dir: skipped (scripts/package.sh makes one)"; exit 77
fi
deb="${debs[-1]}"
root="$(mktemp -d)"
instance_pid=""
cleanup() {
  [ -n "$instance_pid" ] && kill "$instance_pid" 2>/dev/null && wait "$instance_pid" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

case "$(basename "$deb")" in snipbrook_*_"$(dpkg --print-architecture)".deb) ;; *) fail "package name $(basename "$deb")" ;; esac
depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6core6 libqt6widgets6 libqt6network6 libsqlite3 libicu libxcb1; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
# OpenBLAS is loaded at run time (the encoder falls back to Eigen without it), so no shlibs entry.
grep -q libopenblas0 <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "Recommends lacks libopenblas0"

dpkg-deb -x "$deb" "$root"
for f in usr/bin/snipbrook usr/libexec/snipbrook/snipbrook-instance usr/share/snipbrook/model/model.json \
         usr/share/applications/com.snipbrook.app.desktop usr/share/metainfo/com.snipbrook.app.metainfo.xml \
         usr/share/icons/hicolor/16x16/apps/com.snipbrook.app.png usr/share/man/man1/snipbrook.1; do
  [ -e "$root/$f" ] || fail "$f not in the package"
done

version="$("$root/usr/bin/snipbrook" --version)" || fail "snipbrook --version"
[[ "$version" =~ ^snipbrook\ [0-9]+\.[0-9]+ ]] || fail "--version printed: $version"

# The unpacked instance, in a home of its own and without a display, answers the command line.
home="$root/home"
mkdir -m 700 -p "$home" "$home/run"
export HOME="$home" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
unset DISPLAY WAYLAND_DISPLAY
"$root/usr/libexec/snipbrook/snipbrook-instance" > "$home/instance.log" 2>&1 &
instance_pid=$!
for _ in $(seq 100); do
  if status="$("$root/usr/bin/snipbrook" status 2>/dev/null)"; then break; fi
  kill -0 "$instance_pid" 2>/dev/null || { cat "$home/instance.log" >&2; fail "the instance stopped"; }
  sleep 0.1
done
grep -q "Items:" <<<"${status:-}" || { cat "$home/instance.log" >&2; fail "status answered: ${status:-nothing}"; }
"$root/usr/bin/snipbrook" quit > /dev/null
wait "$instance_pid" || true
instance_pid=""
echo "package ok: $(basename "$deb")"
