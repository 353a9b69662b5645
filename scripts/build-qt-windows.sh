#!/bin/sh
# Builds Qt for 64-bit Windows once, from Debian's qt6-base source of the same version as the host
# tools (moc, rcc and uic must match), as DLLs, into a cache outside the checkout. Later runs find
# it finished and return at once. Prints the folder Qt is installed in as its last line.
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)   # e.g. 6.4.2+dfsg-10
cache=${XDG_CACHE_HOME:-$HOME/.cache}/brindlehof
prefix=$cache/qt-$version-win64
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
say() { echo "build-qt-windows: $*" >&2; }

src=$cache/qtbase-$version
sh "$repo/scripts/debian-source.sh" qt6-base "$version" "$src"

# Qt compiles its DirectWrite font engine and font database only with Direct2D, which this build
# leaves out, but the Windows print engine and platform plugin ask for them whenever DirectWrite
# is on: guard them the same way. Text then goes through GDI, as in Qt 5.
guard() { # FILE FEATURE
    grep -q "QT_CONFIG($2) && QT_CONFIG(direct2d)" "$src/$1" \
        || sed -i "s/^#if QT_CONFIG($2)\$/#if QT_CONFIG($2) \&\& QT_CONFIG(direct2d)/" "$src/$1"
}
guard src/printsupport/platform/windows/qprintengine_win.cpp directwrite
guard src/plugins/platforms/windows/qwindowsintegration.cpp directwrite3

# Only what the program needs: Core, Gui, Widgets, PrintSupport and Test, the windows and offscreen
# platform plugins and the Windows styles. Debian's source lacks wintab (tablet events), and the
# Windows plugin does not build with OpenGL off unless dynamic GL is off too.
build=$cache/build-qt-$version-win64
mkdir -p "$build"
cp "$repo/cmake/mingw-w64.cmake" "$cache/mingw-w64.cmake"
# The offscreen plugin, which the headless tests use, draws text with Qt's own FreeType.
options="-DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_pkg_config=OFF -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF
    -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF
    -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_zstd=OFF -DFEATURE_sql=OFF
    -DFEATURE_network=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_textmarkdownreader=OFF -DFEATURE_textodfwriter=OFF
    -DFEATURE_printpreviewdialog=OFF -DFEATURE_printdialog=OFF
    -DFEATURE_windeployqt=OFF -DFEATURE_qmake=OFF -DFEATURE_androiddeployqt=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_pcre2=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
    -DFEATURE_system_libb2=OFF"
if [ ! -f "$build/build.ninja" ] || [ "$(cat "$build/.options" 2>/dev/null)" != "$options" ]; then
    say "configuring (a few minutes)"
    # shellcheck disable=SC2086
    cmake -S "$src" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$cache/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        $options >&2
    echo "$options" > "$build/.options"
fi
say "building (about 1000 steps, a quarter of an hour on two idle cores)"
cmake --build "$build" --parallel "$(nproc)" >&2
cmake --install "$build" >&2
touch "$prefix/.complete"
say "done"
echo "$prefix"
