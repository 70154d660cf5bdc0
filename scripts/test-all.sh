#!/usr/bin/env bash
# Builds Tarnwick and runs every test: the debug build and the build with the
# address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/check-format.sh
for preset in debug asan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j 2
done

# The Windows deliverables: cross-built and tested under Wine.
if [ -f scripts/test-windows.sh ]; then
  bash scripts/test-windows.sh
fi
