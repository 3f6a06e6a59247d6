# What an install lays out, for hosts built out of this tree:
#
#   bin/                  rigkit-run, rigkit-view
#   lib/                  librigkit_host.so (versioned), pkgconfig/rigkit.pc,
#                         cmake/rigkit/ (the CMake package)
#   lib/rigkit/           librigkit.so, the plug-in module
#   include/rigkit/       the host's headers and those of the classes the plug-in exports
#   share/rigkit/examples the example scenes
#
# The tests, benchmarks and fuzz targets are not installed.

include(CMakePackageConfigHelpers)

set(RIGKIT_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/rigkit)
set(RIGKIT_INCLUDE_INSTALL_DIR ${CMAKE_INSTALL_INCLUDEDIR}/rigkit)

install(TARGETS rigkit_host EXPORT rigkitTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS rigkit EXPORT rigkitTargets
        LIBRARY DESTINATION ${RIGKIT_PLUGIN_INSTALL_DIR})
install(TARGETS rigkit-run rigkit-view
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# All the host's headers but the font manager's inside, which would need FreeType's.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/host/ DESTINATION ${RIGKIT_INCLUDE_INSTALL_DIR}/host
        FILES_MATCHING PATTERN "*.h" PATTERN "FM_FontFace.h" EXCLUDE)
# The classes exported whole, and what their headers include from the plug-in's side.
install(FILES ${CMAKE_SOURCE_DIR}/registry/export.h DESTINATION ${RIGKIT_INCLUDE_INSTALL_DIR}/registry)
install(FILES ${CMAKE_SOURCE_DIR}/pickers/pickers.h DESTINATION ${RIGKIT_INCLUDE_INSTALL_DIR}/pickers)
install(FILES
          ${CMAKE_SOURCE_DIR}/manipulators/button_manipulators.h
          ${CMAKE_SOURCE_DIR}/manipulators/drag_cycle.h
          ${CMAKE_SOURCE_DIR}/manipulators/position_manipulators.h
          ${CMAKE_SOURCE_DIR}/manipulators/rotation_manipulators.h
          ${CMAKE_SOURCE_DIR}/manipulators/slider_manipulator.h
          ${CMAKE_SOURCE_DIR}/manipulators/slider_placement.h
          ${CMAKE_SOURCE_DIR}/manipulators/translation_manipulators.h
        DESTINATION ${RIGKIT_INCLUDE_INSTALL_DIR}/manipulators)

file(GLOB RIGKIT_EXAMPLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*.json)
install(FILES ${RIGKIT_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DATADIR}/rigkit/examples)

install(EXPORT rigkitTargets NAMESPACE rigkit:: DESTINATION ${RIGKIT_CMAKE_INSTALL_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/rigkitConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/rigkitConfig.cmake
                              INSTALL_DESTINATION ${RIGKIT_CMAKE_INSTALL_DIR}
                              PATH_VARS RIGKIT_PLUGIN_INSTALL_DIR)
# Before 1.0 only the same minor release keeps the interface (see the host's SOVERSION).
if(PROJECT_VERSION_MAJOR EQUAL 0)
  set(RIGKIT_COMPATIBILITY SameMinorVersion)
else()
  set(RIGKIT_COMPATIBILITY SameMajorVersion)
endif()
write_basic_package_version_file(${CMAKE_BINARY_DIR}/rigkitConfigVersion.cmake
                                 COMPATIBILITY ${RIGKIT_COMPATIBILITY})
install(FILES ${CMAKE_BINARY_DIR}/rigkitConfig.cmake ${CMAKE_BINARY_DIR}/rigkitConfigVersion.cmake
        DESTINATION ${RIGKIT_CMAKE_INSTALL_DIR})

# pkg-config: the prefix is found from the file's own place, since `cmake --install
# --prefix` chooses it after this file is written.
file(RELATIVE_PATH RIGKIT_PREFIX_FROM_PC /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" RIGKIT_PREFIX_FROM_PC "${RIGKIT_PREFIX_FROM_PC}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/rigkit.pc.in ${CMAKE_BINARY_DIR}/rigkit.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/rigkit.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
