#!/bin/sh
# The mutation check of the suite on each seed given (mutants.sh 1 2 3), niced on a shared machine.
# The random user replays one run, so a change it catches is caught every time, not by luck.
set -eu
cd "$(dirname "$0")/.."
tool=${MUTANTS:-../shared/tools/mutants}
for seed in "$@"; do
    nice "$tool" --seed "$seed" --test "cd build && BRINDLEHOF_SEED=1 QT_QPA_PLATFORM=offscreen \
        ctest -j2 --stop-on-failure --timeout 300"
done
