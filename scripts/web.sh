#!/usr/bin/env bash
# Builds the calculator's web page and serves it on this machine.
#
#   scripts/web.sh [--build-only] [PORT]
#
# The firmware and its flowchart pictures come from the native dev build
# (only those targets are built there); the WebAssembly module and the page
# go to build/web/site, which python's web server then serves on 127.0.0.1
# (port 8000 unless given) until interrupted. Nothing is fetched from the
# network: the page runs from these files alone.
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
port=8000
for arg in "$@"; do
  case "$arg" in
    --build-only) build_only=1 ;;
    ''|*[!0-9]*) echo "usage: scripts/web.sh [--build-only] [PORT]" >&2; exit 2 ;;
    *) port="$arg" ;;
  esac
done

for tool in em++ node python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "web.sh: $tool is missing; scripts/install-deps.sh installs it" >&2
    exit 1
  fi
done
# Emscripten's JavaScript tools need Debian's node modules whichever node
# comes first on the path.
export NODE_PATH=/usr/share/nodejs

jobs="$(nproc)"
cmake --preset dev >/dev/null
cmake --build --preset dev -j"$jobs" --target firmware firmware_pictures
cmake --preset web >/dev/null
cmake --build --preset web -j"$jobs"

site=build/web/site
if [ "$build_only" -eq 1 ]; then
  echo "web.sh: the page is in $site"
  exit 0
fi
echo "web.sh: serving the calculator at http://127.0.0.1:$port/ (Ctrl+C stops)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
