# The Debian package: `cpack -G DEB` in a build folder (releases use the release preset) makes
# kestrola-net_<version>_amd64.deb with the programs, the desktop and autostart entries, icons,
# sounds, manual pages, and a postinst that grants the NetBIOS ports.

include(GNUInstallDirs)

set(KESTROLA_MAINTAINER "Kestrola NET developers <kestrola-net@ovrin-software.org>")
set(KESTROLA_DEBIAN_DIR ${CMAKE_BINARY_DIR}/debian)
set(KESTROLA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kestrola-net)

# Starts the program with the desktop session; users switch it off in their desktop's
# start-up settings. Under /etc, so a conffile.
set(KESTROLA_AUTOSTART_FILE /etc/xdg/autostart/kestrola-net.desktop)
install(FILES ${CMAKE_SOURCE_DIR}/src/resources/desktop/kestrola-net-autostart.desktop
        DESTINATION /etc/xdg/autostart RENAME kestrola-net.desktop)

# The documentation Debian asks for, compressed as it asks (gzip -9n: no name, no time).
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/changelog.in ${KESTROLA_DEBIAN_DIR}/changelog
               @ONLY)
set(KESTROLA_COMPRESSED)
foreach(source ${KESTROLA_DEBIAN_DIR}/changelog ${CMAKE_SOURCE_DIR}/docs/man/kestrola-net.1
               ${CMAKE_SOURCE_DIR}/docs/man/kestrola-cli.1)
    get_filename_component(name ${source} NAME)
    set(compressed ${KESTROLA_DEBIAN_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${compressed}
                       COMMAND gzip -9n -c ${source} > ${compressed}
                       DEPENDS ${source} VERBATIM)
    list(APPEND KESTROLA_COMPRESSED ${compressed})
endforeach()
add_custom_target(kestrola_package_docs ALL DEPENDS ${KESTROLA_COMPRESSED})
install(FILES ${KESTROLA_DEBIAN_DIR}/changelog.gz ${CMAKE_SOURCE_DIR}/cmake/debian/copyright
        DESTINATION ${KESTROLA_DOC_DIR})
install(FILES ${KESTROLA_DEBIAN_DIR}/kestrola-net.1.gz ${KESTROLA_DEBIAN_DIR}/kestrola-cli.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(KESTROLA_INSTALLED_PROGRAMS "/usr/bin/kestrola-net /usr/bin/kestrola-cli")
configure_file(${CMAKE_SOURCE_DIR}/cmake/debian/postinst.in ${KESTROLA_DEBIAN_DIR}/postinst @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
file(WRITE ${KESTROLA_DEBIAN_DIR}/conffiles "${KESTROLA_AUTOSTART_FILE}\n")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrola-net)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ovrin software")
set(CPACK_PACKAGE_CONTACT ${KESTROLA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pop-up messenger for the computers of a local network")
# CPack puts the summary first; this is the extended description after it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kestrola NET sends and receives short texts on the messenger mailslot of the
local network, keeps every received message in a message base and lives in
the notification area. It starts with the desktop session. The package also
holds kestrola-cli, a command-line companion for sending, listening, message
bases and settings.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KESTROLA_MAINTAINER})
# The libraries' packages come from the programs' shared libraries; setcap for the postinst;
# libcanberra is loaded at the first sound, so shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, libcanberra0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${KESTROLA_DEBIAN_DIR}/postinst
                                      ${KESTROLA_DEBIAN_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
