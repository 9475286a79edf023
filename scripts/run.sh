#!/usr/bin/env bash
# Builds the release configuration and starts the calculator with the data
# files that ship with it. Extra arguments go to the calculator (-c, -f, -m,
# -s, -v).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
if [ -x build/release/bin/tallivo ]; then
  exec build/release/bin/tallivo "$@"
else
  exec build/release/bin/tallivo-run --periods 740000 --trace-limit 40 --dump-state - "$@"
fi
