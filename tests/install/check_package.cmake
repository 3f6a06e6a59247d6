# Builds the Debian package from the build tree into a fresh folder and checks it with
# dpkg-deb alone (nothing is installed on this machine): its name and control fields, the
# packages it depends on, its file list, and its programs run from the unpacked tree.
#
#   -DBUILD_DIR, -DWORK_DIR (emptied first), -DVERSION, -DHOST_SOVERSION, -DBINDIR, -DLIBDIR,
#   -DPLUGINDIR (as installed, relative to the prefix), -DREADELF

cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
run(cpack_log cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
run(arch dpkg --print-architecture)
string(STRIP "${arch}" arch)
set(deb ${WORK_DIR}/rigkit_${VERSION}_${arch}.deb)
if(NOT EXISTS ${deb})
  message(FATAL_ERROR "cpack made no ${deb}:\n${cpack_log}")
endif()

function(field name want)
  run(got dpkg-deb --field ${deb} ${name})
  string(STRIP "${got}" got)
  if(NOT got STREQUAL want)
    message(FATAL_ERROR "${name}: \"${got}\", not \"${want}\"")
  endif()
endfunction()
field(Package rigkit)
field(Version ${VERSION})
field(Architecture ${arch})

# Every library the programs and libraries link, found by dpkg-shlibdeps, and what they
# only open at run time; none of them versionless where shlibdeps knows a version.
run(depends dpkg-deb --field ${deb} Depends)
string(STRIP "${depends}" depends)
# "a (>= 1) | b, c" names a and c, a with a version.
string(REPLACE ", " ";" entries "${depends}")
set(names)
set(versioned)
foreach(entry ${entries})
  string(REGEX MATCH "^[^ |]+" name "${entry}")
  list(APPEND names ${name})
  if(entry MATCHES "^[^ |]+ \\(>= [^)]+\\)")
    list(APPEND versioned ${name})
  endif()
endforeach()
foreach(package libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5 libegl1 libopengl0 libglu1-mesa
                libpng16-16 libfreetype6 libfontconfig1 libgl1-mesa-dri fonts-dejavu-core)
  if(NOT package IN_LIST names)
    message(FATAL_ERROR "Depends lacks ${package}: ${depends}")
  endif()
endforeach()
foreach(package libc6 libqt5core5a libpng16-16)
  if(NOT package IN_LIST versioned)
    message(FATAL_ERROR "Depends names no version of ${package}: ${depends}")
  endif()
endforeach()
if(rigkit IN_LIST names)
  message(FATAL_ERROR "the package depends on itself: ${depends}")
endif()

# Everything below /usr, owned by root; the programs, the versioned host library with its
# links, the plug-in in its folder, the headers, the CMake and pkg-config files, examples.
run(listing dpkg-deb --contents ${deb})
string(REGEX REPLACE "\n$" "" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(paths)
foreach(line ${lines})
  if(NOT line MATCHES "^[-dl][rwxs-]+ root/root +[0-9]+ [-0-9]+ [:0-9]+ \\./(.*)$")
    message(FATAL_ERROR "not an entry of root's below the package's root: ${line}")
  endif()
  set(path ${CMAKE_MATCH_1})
  if(NOT path STREQUAL "usr/" AND NOT path MATCHES "^usr/(bin|lib|include|share)/")
    message(FATAL_ERROR "the package installs ${path}")
  endif()
  string(REGEX REPLACE "/$" "" path "${path}")
  list(APPEND paths "${path}")
endforeach()
foreach(path
    usr/${BINDIR}/rigkit-run
    usr/${BINDIR}/rigkit-view
    "usr/${LIBDIR}/librigkit_host.so.${VERSION}"
    "usr/${LIBDIR}/librigkit_host.so.${HOST_SOVERSION} -> librigkit_host.so.${VERSION}"
    "usr/${LIBDIR}/librigkit_host.so -> librigkit_host.so.${HOST_SOVERSION}"
    usr/${PLUGINDIR}/librigkit.so
    usr/include/rigkit/host/scene/factories.h
    usr/include/rigkit/pickers/pickers.h
    usr/${LIBDIR}/cmake/rigkit/rigkitConfig.cmake
    usr/${LIBDIR}/pkgconfig/rigkit.pc
    usr/share/rigkit/examples/showcase.json)
  if(NOT path IN_LIST paths)
    message(FATAL_ERROR "the package lacks ${path}:\n${listing}")
  endif()
endforeach()
list(FILTER paths INCLUDE REGEX "^usr/${BINDIR}/.")
if(NOT paths STREQUAL "usr/${BINDIR}/rigkit-run;usr/${BINDIR}/rigkit-view")
  message(FATAL_ERROR "usr/${BINDIR} holds ${paths}, not just rigkit-run and rigkit-view")
endif()

# Unpacked (not installed) elsewhere, its programs still find their libraries and plug-in.
set(root ${WORK_DIR}/unpacked)
run(_ dpkg-deb --extract ${deb} ${root})
check_elf_names(${root} ${root}/usr/${LIBDIR}/librigkit_host.so.${VERSION} ${root}/usr/${PLUGINDIR}/librigkit.so
                ${root}/usr/${BINDIR}/rigkit-run ${root}/usr/${BINDIR}/rigkit-view)
set(BINDIR usr/${BINDIR})
check_installed_programs(${root} ${WORK_DIR})
file(SIZE ${deb} size)
message(STATUS "${deb}: ${size} bytes")
