#!/bin/sh
# Fails when the tests outgrow 40 % of the code: non-blank lines of the test programs, scripts,
# fuzz targets and seeds (build files aside) against the non-blank C++ lines under src/.
set -eu
cd "$(dirname "$0")/.."
lines() { xargs -0 cat | grep -cv '^[[:space:]]*$'; }
tests=$(find tests fuzz -type f ! -name CMakeLists.txt ! -name '*.cmake' -print0 | lines)
code=$(find src -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | lines)
echo "test-budget: $tests test lines, $code code lines, $((100 * tests / code)) %"
[ $((100 * tests)) -le $((40 * code)) ] || { echo "test-budget: over 40 %" >&2; exit 1; }
