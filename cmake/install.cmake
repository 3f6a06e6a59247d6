# What an install lays out, for hosts built out of this tree (LIBDIR is lib/<multiarch>):
#
#   bin/                  rigkit-run, rigkit-view
#   LIBDIR/               librigkit_host.so (versioned), pkgconfig/rigkit.pc,
#                         cmake/rigkit/ (the CMake package)
#   LIBDIR/rigkit/        librigkit.so, the plug-in module
#   include/rigkit/       the host's public headers and those of the classes the plug-in exports
#   share/rigkit/examples the example scenes
#   share/doc/<package>/  copyright
#
# Two components, packaged apart as Debian does: "runtime" (programs, libraries, examples)
# and "development" (headers, the library's link name, CMake and pkg-config files). The
# tests, benchmarks and fuzz targets are not installed.

include(CMakePackageConfigHelpers)

set(RIGKIT_CMAKE_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/rigkit)
set(RIGKIT_INCLUDE_INSTALL_DIR ${CMAKE_INSTALL_INCLUDEDIR}/rigkit)

install(TARGETS rigkit_host EXPORT rigkitTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
install(TARGETS rigkit EXPORT rigkitTargets
        LIBRARY DESTINATION ${RIGKIT_PLUGIN_INSTALL_DIR} COMPONENT runtime)
install(TARGETS rigkit-run rigkit-view
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)

# The host's public interface, by name: what the plug-in's sources include, and what a
# host built against the package uses to make scenes, draw and pick them offscreen, edit
# them with commands and drags, and write text. A header not listed here stays inside the
# build (the renderer's bounds, GL helpers, pick codes, the FreeType face), so a new one is
# private until it is added; the install test fails when a listed header includes one that
# is not, or when the plug-in includes a host header that is not installed.
set(RIGKIT_PUBLIC_HOST_HEADERS
    host_api.h
    base/LXMaths.h base/MSG_Scope.h base/SmPtr.h base/UT_DPI.h base/UT_EditCount.h base/UT_SharedPtr.h
    base/UT_String.h base/VS_RGBA.h
    math/CameraTransformChain.h math/Math.h
    prefs/PR_CachedPreferences.h
    scene/AT_Attr.h scene/AT_Surrogate.h scene/LXTimedValue.h scene/MO_Frame.h scene/MO_Node.h scene/MO_Port.h
    scene/MO_PropertyAccessor.h scene/SC_SceneCommon.h scene/SLB_Selection.h scene/class_factory.h
    scene/components.h scene/factories.h
    commands/CO_Command.h commands/attr_commands.h commands/attribute_edit_commands.h
    commands/node_edit_commands.h commands/timed_value_commands.h
    interaction/SLB_DragSession.h interaction/SLB_ManipContext.h
    draw/CC_CameraChainTransformCanvasBinder.h draw/MO_OGLContext.h draw/VS_ArtCache.h draw/VS_Canvas.h
    draw/VS_Image.h draw/VS_OffscreenContext.h draw/VS_SceneRenderer.h draw/VS_Vector3D.h draw/VU_Circle.h
    draw/VU_Painter.h draw/VU_ReferentialScope.h draw/VU_Sphere.h
    text/CelAlgo.h text/FM_FontManager.h text/GR_VectorArt.h)
# The classes the plug-in exports whole, and what their headers include from its side.
set(RIGKIT_PUBLIC_PLUGIN_HEADERS
    registry/export.h
    pickers/pickers.h
    manipulators/button_manipulators.h manipulators/position_manipulators.h
    manipulators/rotation_manipulators.h manipulators/slider_manipulator.h manipulators/slider_placement.h
    manipulators/translation_manipulators.h)

set(RIGKIT_PUBLIC_HEADERS)
foreach(header ${RIGKIT_PUBLIC_HOST_HEADERS})
  list(APPEND RIGKIT_PUBLIC_HEADERS host/${header})
endforeach()
list(APPEND RIGKIT_PUBLIC_HEADERS ${RIGKIT_PUBLIC_PLUGIN_HEADERS})
foreach(header ${RIGKIT_PUBLIC_HEADERS})
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${CMAKE_SOURCE_DIR}/${header} DESTINATION ${RIGKIT_INCLUDE_INSTALL_DIR}/${dir} COMPONENT development)
endforeach()

file(GLOB RIGKIT_EXAMPLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/examples/*.json)
install(FILES ${RIGKIT_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DATADIR}/rigkit/examples COMPONENT runtime)

install(EXPORT rigkitTargets NAMESPACE rigkit:: DESTINATION ${RIGKIT_CMAKE_INSTALL_DIR} COMPONENT development)
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
        DESTINATION ${RIGKIT_CMAKE_INSTALL_DIR} COMPONENT development)

# pkg-config. The prefix is only known when installing (`cmake --install --prefix` and the
# Debian package choose it after configuration), so the file is written then: the system
# prefix /usr is written as it is, so that every path pkg-config answers is a plain one;
# any other prefix is found from the file's own place, so that the install can be moved.
file(RELATIVE_PATH RIGKIT_PREFIX_FROM_PC /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" RIGKIT_PREFIX_FROM_PC "${RIGKIT_PREFIX_FROM_PC}")
# Everything but the prefix now; the prefix by install_pc.cmake, when installing.
set(RIGKIT_PC_PREFIX "@RIGKIT_PC_PREFIX@")
configure_file(${CMAKE_CURRENT_LIST_DIR}/rigkit.pc.in ${CMAKE_BINARY_DIR}/rigkit.pc.in @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/install_pc.cmake.in ${CMAKE_BINARY_DIR}/install_pc.cmake @ONLY)
install(SCRIPT ${CMAKE_BINARY_DIR}/install_pc.cmake COMPONENT development)

# Each package carries its copyright file, as Debian requires of every package.
foreach(package_component rigkit:runtime librigkit-dev:development)
  string(REPLACE ":" ";" pair ${package_component})
  list(GET pair 0 package)
  list(GET pair 1 component)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
          COMPONENT ${component})
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
