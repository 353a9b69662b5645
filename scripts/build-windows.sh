#!/bin/sh
# Cross-builds the program and its tests for 64-bit Windows and packs the zip and the setup:
# build-windows.sh BUILD OUT. Qt for Windows and pasmo.exe come from the caches that
# build-qt-windows.sh and build-pasmo-windows.sh fill.
set -eu
build=$1 out=$2
top=$(cd "$(dirname "$0")/.." && pwd)
qt=$(sh "$top/scripts/build-qt-windows.sh" | tail -n 1)
pasmo=$(sh "$top/scripts/build-pasmo-windows.sh" | tail -n 1)
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64.cmake" \
        -DBRINDLEHOF_QT_WINDOWS="$qt" -DCMAKE_PREFIX_PATH="$qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
fi
cmake --build "$build" --parallel 2
zip=$(sh "$top/scripts/package-windows.sh" "$build" "$qt" "$pasmo" "$out" | tail -n 1)
echo "$zip"
sh "$top/scripts/package-setup.sh" "$build/zip/$(basename "$zip" .zip)" "$out"
