#!/bin/sh
# Installs what is missing, builds qzcard, writes the built-in sample card and
# lists its clips.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev -j "$(nproc)" --target qzcard
CARD="${1:-build/sample-card}"
rm -rf "$CARD"
build/dev/tools/qzcard/qzcard sample-card "$CARD"
build/dev/tools/qzcard/qzcard list "$CARD"
