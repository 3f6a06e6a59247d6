# The Debian packages: `make package` (cpack -G DEB) gives, installed below /usr,
#
#   rigkit_<version>_<arch>.deb         the programs, the host library, the plug-in and
#                                       the example scenes (the "runtime" component);
#   librigkit-dev_<version>_<arch>.deb  headers, the library's link name, the CMake and
#                                       pkg-config files (the "development" component),
#                                       with the development packages its headers need.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rigkit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "rigkit developers <rigkit@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME rigkit)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
    "interactive viewport controls plug-in, with a runner and a viewer
rigkit supplies the interactive controls of an animation application's
camera view: local transformations, drag manipulators, OpenGL painters and
pick adaptors, registered by type string in the host's factories. The
package holds the plug-in module, the host library that loads it,
rigkit-run (plays scene files headless and writes pictures), rigkit-view
(the same scenes in a window) and example scenes in
/usr/share/rigkit/examples.")
# Dependencies of what is linked come from dpkg-shlibdeps. What is only opened at run
# time it cannot see: Mesa's software renderer, which draws when there is no GPU (and
# always, headless), and a font for the label painter's text.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libgl1-mesa-dri, fonts-dejavu-core")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME librigkit-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "interactive viewport controls plug-in: development files
Headers of the host library and of the classes the rigkit plug-in exports,
with CMake (find_package(rigkit)) and pkg-config (rigkit) files for
building hosts that load the plug-in.")
# The installed headers include Qt's, glm's and OpenGL's (GL/gl.h from libgl-dev; the
# link name libOpenGL.so and opengl.pc from libopengl-dev), and the CMake and pkg-config
# files ask for all three.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "rigkit (= ${PROJECT_VERSION}), qtbase5-dev, libglm-dev, libgl-dev, libopengl-dev")

include(CPack)
