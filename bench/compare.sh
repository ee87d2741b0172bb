#!/bin/sh
# Whole-process import benchmark: qzcard export (es and mov), export --null,
# verify (and --decode against ffmpeg decoding), list and report of a
# 999-clip card (and report of a 200-clip card, for its peak memory) against
# ffmpeg (its outputs synced, as ours are) and cat, offload against cp -r + sync + xxhsum
# (and without the sync), ProRes Proxy and H.264 proxies against ffmpeg
# encoding the member files alike, two destinations on the disk and with the second
# on tmpfs, the hash formats' throughput, and the catalog's erasable and
# lacking over 1,000 cards and a million files on SQLite and PostgreSQL
# (see bench/compare.py and bench/catalog_bench.py), and ingest (the card's
# busy time, the whole day, its memory) against offload, export and report
# run one after the other. Builds
# qzcard, the plug-in bundle and the bench card writer in build/dev first.
#   bench/compare.sh [--rounds N] [--frames N] [--cache DIR] [--no-trace] [--only NAME,...] [--ram DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QZ_BENCH_BUILD:-$root/build/dev}
if [ ! -f "$build/CMakeCache.txt" ]; then
    (cd "$root" && cmake --preset dev >/dev/null)
fi
cmake --build "$build" -j"${JOBS:-2}" --target qzcard FBCFormatRADPlugin bench-card bench-catalog HashBench >/dev/null
exec python3 "$root/bench/compare.py" --build "$build" "$@"
