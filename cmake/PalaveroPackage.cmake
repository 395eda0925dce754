# The Debian package: `cpack -G DEB` in the build folder (or the `package`
# target) builds palavero_<version>_<arch>.deb from the install rules, with the
# dependencies computed from the shared libraries of the executable and its
# audio module.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME palavero)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvel Software")
set(CPACK_PACKAGE_CONTACT "Korvel Software <palavero@korvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "messenger for the local network, without a server")
set(CPACK_PACKAGE_DESCRIPTION
    "Palavero Lite sends short text messages to other computers of the local\n"
    "network that run it. Every instance announces itself by broadcast and learns\n"
    "the others from their answers. A message goes to one computer, a group or all\n"
    "of them and pops up in a window that stays on top. Scripts send with\n"
    "palavero --send and read incoming messages with palavero --listen.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies on shared libraries are found by dpkg-shlibdeps from the
# built program and audio module when cpack runs (packaging/PackageDepends.cmake.in).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(PALAVERO_PACKAGE_BINARIES "\"$<TARGET_FILE:palavero>\" \"$<TARGET_FILE:palavero_sound>\"")
configure_file(${PROJECT_SOURCE_DIR}/packaging/PackageDepends.cmake.in
               ${PROJECT_BINARY_DIR}/PackageDepends.cmake.gen @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/PackageDepends.cmake
     INPUT ${PROJECT_BINARY_DIR}/PackageDepends.cmake.gen)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/PackageDepends.cmake)
# Loaded at run time, so not found among the shared libraries: the X11 platform
# plugin of Qt (the window and the tray); recommended are Qt's own German texts
# and xdg-screensaver, through which the hot key starts screen savers that have
# no service of their own on the session bus.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")

include(CPack)
