# Built for Windows here, every test runs under Wine (the toolchain's emulator) in a prefix of its
# own that a fixture makes first, finding the Qt and mingw DLLs through WINEPATH.
set(prefix ${CMAKE_BINARY_DIR}/wineprefix)
set(dlls ${QT6_INSTALL_PREFIX}/bin /usr/lib/gcc/x86_64-w64-mingw32/12-posix
    /usr/x86_64-w64-mingw32/lib)
list(TRANSFORM dlls PREPEND "Z:")
list(JOIN dlls "\\;" winepath)
string(REPLACE "/" "\\" winepath "${winepath}")

add_test(NAME wine_prefix COMMAND sh -c "rm -rf '${prefix}' && wineboot --init && wineserver -w")
add_test(NAME wine_stop COMMAND wineserver -k)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

get_property(tests DIRECTORY PROPERTY TESTS)
foreach(test IN LISTS tests)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
        "WINEPREFIX=${prefix}" "WINEDEBUG=-all" "WINEPATH=${winepath}"
        # The offscreen plugin finds no fonts of Windows' own: it reads these instead.
        "QT_QPA_FONTDIR=Z:\\usr\\share\\fonts\\truetype\\dejavu")
    if(NOT test MATCHES "^wine_")
        set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED wine)
    endif()
endforeach()
