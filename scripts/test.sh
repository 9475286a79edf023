#!/usr/bin/env bash
# Builds and runs every test: the suite on the dev build (with the web page,
# built first, under node and headless Chromium), the whole suite again under
# the address and undefined-behaviour sanitizers, and the fuzz targets for a
# bounded number of inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

# The C++ sources keep to the tree's .clang-format.
drifted="$(find . \( -path ./build -o -path ./.git -o -name node_modules \) -prune -o \
  \( -name '*.cpp' -o -name '*.h' \) -print | sort | while read -r f; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || echo "$f"
done)"
if [ -n "$drifted" ]; then
  echo "These files differ from .clang-format:" >&2
  echo "$drifted" >&2
  echo "Fix them with: find . -path ./build -prune -o \\( -name '*.cpp' -o -name '*.h' \\) -print | xargs clang-format -i" >&2
  exit 1
fi

cmake --preset dev
cmake --build --preset dev -j"$jobs"
scripts/web.sh --build-only
ctest --preset dev -j"$jobs"

cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

if [ -x .ci/fuzz.sh ]; then
  .ci/fuzz.sh
fi
