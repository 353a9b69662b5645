#!/bin/sh
# Runs every benchmark of a build folder headless; each prints its figures beside the toolkit's
# own cost measured in the same run.
set -eu
build=${1:-build}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
for bench in "$build"/bench/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    "$bench"
done
