# The Linux program installed as Debian desktop programs are (menu entry, icons, AppStream
# metainfo, man page) and packed by CPack into a .deb: `make package`.
if(WIN32)
    return()
endif()
include(GNUInstallDirs)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(resources ${PROJECT_SOURCE_DIR}/resources)
set(appId org.brindlehof.Brindlehof)

install(FILES ${resources}/${appId}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${resources}/${appId}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
    install(FILES ${resources}/icons/brindlehof-${size}.png RENAME brindlehof.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${resources}/icons/brindlehof.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian wants the man page and the changelog compressed without a time stamp, so that the same
# sources give the same package. Done at configure time: `make` builds the program only.
foreach(source docs/brindlehof.1 resources/debian/changelog)
    get_filename_component(name ${source} NAME)
    execute_process(COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/${source}
        OUTPUT_FILE ${PROJECT_BINARY_DIR}/${name}.gz COMMAND_ERROR_IS_FATAL ANY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${source})
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/brindlehof.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz ${resources}/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/brindlehof)

# The package version is spelt as the program states it, 1.00.0004 (dpkg reads it as equal to
# the project's 1.0.4); the Debian files live with the source, so there is no Debian revision.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindlehof)
set(CPACK_PACKAGE_VERSION 1.00.0004)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Brindlehof maintainers <maintainers@users.noreply.c-seed-8cefb880.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for Z80 assembly source")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Brindlehof is a small Qt desktop editor for Z80 assembly source. One window\n"
    "holds the whole text: open and save NAME.z80 files in the Windows-1252 code\n"
    "page, print to the default printer, and start the assembler script asm.bat\n"
    "on a named source. An example asm.bat that assembles with pasmo is included.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pasmo, hardinfo")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS cups)
include(CPack)
