#!/usr/bin/env bash
# The desktop entry starts the calculator through tallivo-desktop, which runs
# it in a folder of its own under the user's state directory, so the trace
# file does not land in the home folder. A stand-in calculator beside the
# launcher reports the folder it was started in and its arguments.
# Usage: desktop_entry.sh BIN_DIR TEST_DATA_DIR
set -u
bin="$1"
source_dir="$(cd "$2/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

grep -qx 'Exec=tallivo-desktop' "$source_dir/resources/tallivo.desktop" ||
  fail "the desktop entry does not start tallivo-desktop"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$source_dir/resources/tallivo.desktop" || fail "the desktop entry is not valid"
fi

mkdir -p "$work/bin"
cp "$bin/tallivo-desktop" "$work/bin/"
cat >"$work/bin/tallivo" <<'STANDIN'
#!/bin/sh
echo "$(pwd) $*"
STANDIN
chmod +x "$work/bin/tallivo"

# XDG_STATE_HOME names the state directory.
out="$(cd / && HOME="$work/home" XDG_STATE_HOME="$work/state" "$work/bin/tallivo-desktop" -f0)"
[ "$out" = "$work/state/tallivo -f0" ] || fail "with XDG_STATE_HOME: '$out'"

# Unset, or not an absolute path: ~/.local/state.
out="$(cd / && env -u XDG_STATE_HOME HOME="$work/home" "$work/bin/tallivo-desktop")"
[ "$out" = "$work/home/.local/state/tallivo " ] || fail "without XDG_STATE_HOME: '$out'"
out="$(cd / && HOME="$work/home" XDG_STATE_HOME="relative/state" "$work/bin/tallivo-desktop")"
[ "$out" = "$work/home/.local/state/tallivo " ] || fail "with a relative XDG_STATE_HOME: '$out'"
[ ! -e "/relative" ] || fail "a relative state directory was made"

# Started through a link, as a package's bin folder may hold it.
ln -s "$work/bin/tallivo-desktop" "$work/link"
out="$(cd / && HOME="$work/home" XDG_STATE_HOME="$work/state" "$work/link")"
[ "$out" = "$work/state/tallivo " ] || fail "through a link: '$out'"
echo "desktop entry test passed"
