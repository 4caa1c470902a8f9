# What `cmake --install` puts where (the XDG places under the prefix), and the Debian package
# that CPack builds from it. Included after every program's target is declared.
include(GNUInstallDirs)

set(kelvo_programs kelvo-monitor kelvo-console-sim)
if(TARGET kelvo-terminal)
    list(PREPEND kelvo_programs kelvo-terminal)
endif()
install(TARGETS ${kelvo_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES packaging/kelvo-terminal.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/kelvo-terminal.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The example test plans, for kelvo-monitor --plan and the window's "Run test plan..."; the
# manual pages name the folder as installed.
install(DIRECTORY packaging/plans/ DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvo-terminal/plans FILES_MATCHING PATTERN "*.json")
set(KELVO_INSTALLED_PLANS_DIR ${CMAKE_INSTALL_FULL_DATADIR}/kelvo-terminal/plans)

# Manual pages carry the project's version and are installed compressed, as Debian wants them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(kelvo_man_pages)
foreach(program IN ITEMS kelvo-terminal kelvo-monitor kelvo-console-sim)
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${program}.1)
    configure_file(packaging/man/${program}.1.in ${page} @ONLY)
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${GZIP_PROGRAM} -9 -n -c ${page} > ${page}.gz
        DEPENDS ${page}
        COMMENT "Compressing the manual page of ${program}")
    list(APPEND kelvo_man_pages ${page}.gz)
endforeach()
add_custom_target(kelvo_man_pages ALL DEPENDS ${kelvo_man_pages})
install(FILES ${kelvo_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence in Debian's machine-readable form and the changelog, as every package carries them.
set(kelvo_changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog)
configure_file(packaging/changelog.in ${kelvo_changelog} @ONLY)
add_custom_command(OUTPUT ${kelvo_changelog}.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${kelvo_changelog} > ${kelvo_changelog}.gz
    DEPENDS ${kelvo_changelog}
    COMMENT "Compressing the changelog")
add_custom_target(kelvo_changelog ALL DEPENDS ${kelvo_changelog}.gz)
install(FILES packaging/copyright ${kelvo_changelog}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelvo-terminal)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo-terminal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kelvo test terminal developers")
set(CPACK_PACKAGE_CONTACT "Kelvo test terminal developers <maintainers@kelvo-terminal.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Test terminal for the Kelvo indoor bicycle trainer's console")
# Debian wants the long description in lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "Opens the serial port of a Kelvo handlebar console, shows every message it
sends, sends requests and set-points, follows the ride statistics and repairs
a silent link. Includes kelvo-monitor, the same terminal without a window, and
kelvo-console-sim, a console emulator on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# The run-time libraries come from the programs themselves (dpkg-shlibdeps), never from a
# hand-kept list. Only what the window loads as a plug-in is named: no linker sees it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET kelvo-terminal)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
    # The terminal's font falls back to Liberation Mono where Courier New is missing.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-liberation)
endif()
include(CPack)
