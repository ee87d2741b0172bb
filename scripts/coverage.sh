#!/bin/sh
# Line coverage of src/ and tools/ by the whole test suite.
# Configures its own build folder (build/coverage, or $BUILD_DIR) with
# --coverage, builds, runs ctest and prints gcovr's summary.
# Usage: JOBS=2 scripts/coverage.sh        (needs gcovr: apt-get install gcovr)
# gcovr writes its report to a file, never to /dev/null (which it would
# replace with a plain file). Per-file figures land in build/coverage/coverage-src.txt and -tools.txt.
set -eu
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
BUILD="${BUILD_DIR:-$ROOT/build/coverage}"
JOBS="${JOBS:-2}"
command -v gcovr >/dev/null 2>&1 || { echo "coverage.sh: gcovr is not installed" >&2; exit 1; }

mkdir -p "$BUILD"
FLAGS="--coverage -fprofile-update=atomic"
cmake -S "$ROOT" -B "$BUILD" -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DQZ_BUILD_TESTS=ON -DQZ_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$FLAGS" -DCMAKE_CXX_FLAGS="$FLAGS" \
  -DCMAKE_EXE_LINKER_FLAGS="--coverage" >"$BUILD/configure.log"
cmake --build "$BUILD" -j "$JOBS"
# Counts from an earlier run would add to this one's.
find "$BUILD" -name '*.gcda' -delete
ctest --test-dir "$BUILD" -j "$JOBS" --output-on-failure || echo "coverage.sh: some tests failed" >&2

for part in src tools; do
  echo "== line coverage of $part/"
  gcovr --root "$ROOT" --object-directory "$BUILD" --filter "$ROOT/$part/" -j "$JOBS" \
        --print-summary -o "$BUILD/coverage-$part.txt" 2>"$BUILD/gcovr-$part.log" | grep -E '^(lines|functions|branches):' \
    || { echo "coverage.sh: gcovr failed, see $BUILD/gcovr-$part.log" >&2; exit 1; }
done
