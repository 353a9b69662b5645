# Cross-compiling for 64-bit Windows with Debian's mingw-w64. The posix thread model, because Qt
# needs std::thread and std::mutex. Serves both the Qt build and this program's.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)

# Qt for Windows lives in a cache of its own (scripts/build-qt-windows.sh); the program's build
# names it with -DBRINDLEHOF_QT_WINDOWS=DIR.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${BRINDLEHOF_QT_WINDOWS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# add_test() then runs a test .exe under Wine with no wrapper.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
