#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, sanitizers) and runs each for a bounded
# number of inputs from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset fuzz
cmake --build --preset fuzz -j2
# The fuzz preset builds no test suites, so the tests live in the fuzz/ folder.
ctest --test-dir build/fuzz/fuzz -L fuzz --output-on-failure
