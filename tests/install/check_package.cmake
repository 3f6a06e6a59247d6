# Builds the Debian package from the build tree into a fresh folder and checks it with
# dpkg-deb alone (nothing is installed on this machine): its name and control fields, the
# packages it depends on, and its file list. What the files do is the install test's.
#
#   -DBUILD_DIR, -DWORK_DIR (emptied first), -DVERSION, -DHOST_SOVERSION, -DBINDIR, -DLIBDIR,
#   -DPLUGINDIR (as installed, relative to the prefix), -DCPACK

cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
run(cpack_log ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
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
# only open at run time.
run(depends dpkg-deb --field ${deb} Depends)
string(STRIP "${depends}" depends)
# "a (>= 1) | b, c" names a and c.
string(REPLACE ", " ";" entries "${depends}")
set(names)
foreach(entry ${entries})
  string(REGEX MATCH "^[^ |]+" name "${entry}")
  list(APPEND names ${name})
endforeach()
foreach(package libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5 libegl1 libopengl0 libglu1-mesa
                libpng16-16 libfreetype6 libfontconfig1 libgl1-mesa-dri fonts-dejavu-core)
  if(NOT package IN_LIST names)
    message(FATAL_ERROR "Depends lacks ${package}: ${depends}")
  endif()
endforeach()

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
file(SIZE ${deb} size)
message(STATUS "${deb}: ${size} bytes")
