#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks what a desktop reads from it: the
# programs and model, a valid desktop entry and AppStream file, icons in every size, a manual page
# that renders, completions that load.
#   installed_tree_test.sh BUILD_DIR
set -euo pipefail
build="$1"
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$stage" cmake --install "$build" > "$stage/install.log" 2>&1 || { cat "$stage/install.log" >&2; fail "install"; }
prefix="$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
usr="$stage$prefix"

[ -x "$usr/bin/snipbrook" ] || fail "bin/snipbrook missing"
[ -x "$usr/libexec/snipbrook/snipbrook-instance" ] || fail "the instance program is missing"
for f in model.json vocab.json LICENSE; do
  [ -f "$usr/share/snipbrook/model/$f" ] || fail "model file $f missing"
done

desktop="$usr/share/applications/com.snipbrook.app.desktop"
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
grep -qx 'Exec=snipbrook' "$desktop" || fail "desktop entry does not start snipbrook"
grep -qx 'Icon=com.snipbrook.app' "$desktop" || fail "desktop entry names another icon"

appstreamcli validate --no-net "$usr/share/metainfo/com.snipbrook.app.metainfo.xml" || fail "metainfo does not validate"

[ -f "$usr/share/icons/hicolor/scalable/apps/com.snipbrook.app.svg" ] || fail "scalable icon missing"
for size in 16 22 24 32 48 64 128 256; do
  png="$usr/share/icons/hicolor/${size}x${size}/apps/com.snipbrook.app.png"
  [ -f "$png" ] || fail "icon ${size}x${size} missing"
  file "$png" | grep -q "PNG image data, $size x $size" || fail "icon ${size}x${size} is not a ${size}-pixel PNG"
done

page="$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/snipbrook.1" 2>&1)" || fail "manual page does not render"
grep -q 'snipbrook popup\|popup' <<<"$page" || fail "manual page lacks the commands"
if grep -q 'warning' <<<"$page"; then echo "$page" | grep warning >&2; fail "manual page has roff warnings"; fi

# The completion offers the commands for a first word and list's options after it.
words="$(bash -c 'source "$1"; complete -p snipbrook >/dev/null
  COMP_WORDS=(snipbrook se); COMP_CWORD=1; _snipbrook; echo "${COMPREPLY[*]}"
  COMP_WORDS=(snipbrook list --j); COMP_CWORD=2; _snipbrook; echo "${COMPREPLY[*]}"' _ \
  "$usr/share/bash-completion/completions/snipbrook")" || fail "bash completion does not load"
[ "$words" = $'search settings\n--json' ] || fail "bash completion offered: $words"
[ -f "$usr/share/zsh/vendor-completions/_snipbrook" ] || fail "zsh completion missing"
[ -f "$usr/share/fish/vendor_completions.d/snipbrook.fish" ] || fail "fish completion missing"
echo "installed tree ok"
