#!/bin/sh
# Test-to-code ratio: non-blank C++ lines of tests/ and fuzz/ against src/
# and tools/ (.h, .hpp, .cpp, .cc).
set -eu
cd "$(dirname "$0")/.."
count() {
  find "$@" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print0 \
    | xargs -0 cat | grep -cv '^[[:space:]]*$'
}
TESTS=$(count tests fuzz)
CODE=$(count src tools)
echo "test lines (tests/ + fuzz/): $TESTS"
echo "code lines (src/ + tools/):  $CODE"
awk -v t="$TESTS" -v c="$CODE" 'BEGIN { printf "ratio: %.3f\n", t / c }'
