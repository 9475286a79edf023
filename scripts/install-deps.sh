#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Skips the install when every package is already present.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev fonts-dejavu-core poppler-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  clang clang-format libclang-rt-14-dev
  xvfb xdotool xclip imagemagick x11-utils openbox desktop-file-utils
  emscripten nodejs chromium python3
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm installs the browser tests' packages. Debian ships it apart from
# nodejs; a nodejs that brings its own npm conflicts with that package.
command -v npm >/dev/null || missing+=(npm)
if [ ${#missing[@]} -eq 0 ]; then exit 0; fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y "${missing[@]}"
