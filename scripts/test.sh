#!/bin/sh
# Installs what is missing, configures, builds and runs the whole test suite.
# Usage: scripts/test.sh [preset]   (dev by default; asan and tsan also work)
set -eu
cd "$(dirname "$0")/.."
PRESET="${1:-dev}"
scripts/install-deps.sh
cmake --preset "$PRESET"
cmake --build --preset "$PRESET" -j "$(nproc)"
ctest --preset "$PRESET"
