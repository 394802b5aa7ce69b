# SPDX-License-Identifier: GPL-3.0-or-later
# What `cmake --install` puts on a system, and the Debian package CPack makes of it:
# the program, its desktop entry with actions, the icon, the AppStream metadata, the
# manual page and the licence.

include(GNUInstallDirs)

set(ORLETTE_DESKTOP_DIR ${CMAKE_SOURCE_DIR}/resources/desktop)
set(ORLETTE_APP_ID org.orlette.Orlette)

install(TARGETS orlette RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${ORLETTE_DESKTOP_DIR}/${ORLETTE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

configure_file(${ORLETTE_DESKTOP_DIR}/${ORLETTE_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/desktop/${ORLETTE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/desktop/${ORLETTE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${ORLETTE_DESKTOP_DIR}/${ORLETTE_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The PNG sizes are rendered from the SVG once and committed, so building needs no SVG
# renderer; scripts/render-icons.sh makes them again after the drawing changes.
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${ORLETTE_DESKTOP_DIR}/icons/${size}/${ORLETTE_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# Debian wants manual pages and changelogs compressed, reproducibly (no name, no time).
configure_file(${ORLETTE_DESKTOP_DIR}/orlette.1.in ${CMAKE_BINARY_DIR}/desktop/orlette.1 @ONLY)
configure_file(${ORLETTE_DESKTOP_DIR}/changelog.in ${CMAKE_BINARY_DIR}/desktop/changelog @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/desktop/orlette.1.gz ${CMAKE_BINARY_DIR}/desktop/changelog.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/desktop/orlette.1
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/desktop/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/desktop/orlette.1 ${CMAKE_BINARY_DIR}/desktop/changelog
    COMMENT "Compressing the manual page and the changelog")
add_custom_target(orlette_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/desktop/orlette.1.gz
                                           ${CMAKE_BINARY_DIR}/desktop/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/desktop/orlette.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian's place for them is named after the package, not the project.
install(FILES ${ORLETTE_DESKTOP_DIR}/copyright ${CMAKE_BINARY_DIR}/desktop/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orlette)

# The Debian package: `cpack -G DEB` in the build folder, or scripts/check-package.sh.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orlette)
set(CPACK_PACKAGE_VENDOR "Orlette")
set(CPACK_PACKAGE_CONTACT "Orlette <equipo@orlette.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sticky notes at the edges of the screen")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Orlette keeps notes as coloured tabs at the left and right edges of\n"
    "the screen. Resting the pointer at an edge wakes them; a click opens\n"
    "a note in place for editing, and the rest of the desktop stays usable.\n"
    "Notes can float in windows of their own, are listed in a library with\n"
    "a search field, and can be mirrored between computers through a shared\n"
    "folder or WebDAV. The interface is in Spanish.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://orlette.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: Qt's X11 platform plugin, and
# the secret store client QtKeychain opens for the WebDAV password.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsecret-1-0")
# gsettings writes the quick-note shortcut into GNOME's own shortcuts on Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | kwalletmanager, libglib2.0-bin")
# Debian's permissions for installed files and folders, whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
