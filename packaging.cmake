# What `cmake --install` puts in place, and the Debian package CPack builds from it.
include(GNUInstallDirs)

install(TARGETS skelmor brevail bundle-seal skelmor-doctor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md LICENSE NOTICE DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The GNOME Shell extension that tells the host what is on a GNOME Wayland screen.
install(DIRECTORY host/platform/linux/gnome/extension/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions/skelmor@tarnwick)

set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Desktop helpers of a chat application: the computer-use host and the attachment tool")
set(CPACK_PACKAGE_CONTACT "Tarnwick developers <developers@tarnwick.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link are found by dpkg-shlibdeps; libheif and libtiff are
# loaded at run time, so it cannot see them (dav1d, loaded beside libheif, comes with it),
# and the desktop services the host talks to are no libraries at all.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libheif1, libtiff6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "at-spi2-core, dbus")
include(CPack)
