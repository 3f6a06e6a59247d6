# The Debian package: `make package` (cpack -G DEB) gives rigkit_<version>_<arch>.deb with
# everything the install lays out, installed below /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rigkit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "rigkit developers <rigkit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive viewport controls plug-in, with a runner and a viewer")
set(CPACK_PACKAGE_DESCRIPTION
    "rigkit supplies the interactive controls of an animation application's
camera view: local transformations, drag manipulators, OpenGL painters and
pick adaptors, registered by type string in the host's factories. The
package holds the plug-in module, the host library that loads it,
rigkit-run (plays scene files headless and writes pictures), rigkit-view
(the same scenes in a window), headers with CMake and pkg-config files for
building hosts against it, and example scenes in /usr/share/rigkit/examples.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# Dependencies of what is linked come from dpkg-shlibdeps. What is only opened at run
# time it cannot see: Mesa's software renderer, which draws when there is no GPU (and
# always, headless), and a font for the label painter's text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, fonts-dejavu-core")

include(CPack)
