#!/usr/bin/env bash
# Builds and runs every test: the suite on the dev build (with the web page,
# built first, under node and headless Chromium), the whole suite again under
# the address and undefined-behaviour sanitizers, and the fuzz targets for a
# bounded number of inputs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

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
