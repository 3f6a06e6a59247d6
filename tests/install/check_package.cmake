# Builds the Debian packages from the build tree into a fresh folder and checks them with
# dpkg-deb alone (nothing is installed on this machine): their names and control fields,
# the packages they depend on, and which files each holds. What the files do is the
# install tests'; the packages are left in WORK_DIR for the bare-root test.
#
#   -DBUILD_DIR, -DWORK_DIR (emptied first), -DVERSION, -DHOST_SOVERSION, -DBINDIR, -DLIBDIR,
#   -DPLUGINDIR (as installed, relative to the prefix), -DMULTIARCH (the triplet), -DCPACK

cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

file(REMOVE_RECURSE ${WORK_DIR})
run(cpack_log ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})
run(arch dpkg --print-architecture)
string(STRIP "${arch}" arch)

# Libraries where Debian keeps them, whatever the tree was configured with before.
if(NOT LIBDIR STREQUAL "lib/${MULTIARCH}")
  message(FATAL_ERROR "libraries install to ${LIBDIR}, not lib/${MULTIARCH}")
endif()

# The control field `name` of `deb`.
function(field deb name out)
  run(got dpkg-deb --field ${deb} ${name})
  string(STRIP "${got}" got)
  set(${out} "${got}" PARENT_SCOPE)
endfunction()

# The names of the packages a Depends field lists: "a (>= 1) | b, c" names a and c.
function(depended_names depends out)
  string(REPLACE ", " ";" entries "${depends}")
  set(names)
  foreach(entry ${entries})
    string(REGEX MATCH "^[^ |]+" name "${entry}")
    list(APPEND names ${name})
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Every path `deb` installs, owned by root below /usr; symbolic links as "path -> target".
function(contents deb out)
  run(listing dpkg-deb --contents ${deb})
  string(REGEX REPLACE "\n$" "" listing "${listing}")
  string(REPLACE "\n" ";" lines "${listing}")
  set(paths)
  foreach(line ${lines})
    if(NOT line MATCHES "^[-dl][rwxs-]+ root/root +[0-9]+ [-0-9]+ [:0-9]+ \\./(.*)$")
      message(FATAL_ERROR "${deb}: not an entry of root's below the package's root: ${line}")
    endif()
    set(path ${CMAKE_MATCH_1})
    if(NOT path STREQUAL "usr/" AND NOT path MATCHES "^usr/(bin|lib|include|share)/")
      message(FATAL_ERROR "${deb} installs ${path}")
    endif()
    string(REGEX REPLACE "/$" "" path "${path}")
    list(APPEND paths "${path}")
  endforeach()
  set(${out} "${paths}" PARENT_SCOPE)
endfunction()

set(runtime_deb ${WORK_DIR}/rigkit_${VERSION}_${arch}.deb)
set(dev_deb ${WORK_DIR}/librigkit-dev_${VERSION}_${arch}.deb)
file(GLOB debs RELATIVE ${WORK_DIR} ${WORK_DIR}/*.deb)
list(SORT debs)
if(NOT debs STREQUAL "librigkit-dev_${VERSION}_${arch}.deb;rigkit_${VERSION}_${arch}.deb")
  message(FATAL_ERROR "cpack made ${debs}, not rigkit and librigkit-dev:\n${cpack_log}")
endif()

foreach(pair "${runtime_deb}=rigkit" "${dev_deb}=librigkit-dev")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 deb)
  list(GET pair 1 package)
  foreach(name_want "Package=${package}" "Version=${VERSION}" "Architecture=${arch}")
    string(REPLACE "=" ";" name_want "${name_want}")
    list(GET name_want 0 name)
    list(GET name_want 1 want)
    field(${deb} ${name} got)
    if(NOT got STREQUAL want)
      message(FATAL_ERROR "${package}: ${name} is \"${got}\", not \"${want}\"")
    endif()
  endforeach()
endforeach()

# The programs' and libraries' run-time needs, found by dpkg-shlibdeps, and what they only
# open at run time; the development files' needs are the headers theirs include.
field(${runtime_deb} Depends depends)
depended_names("${depends}" names)
foreach(package libc6 libstdc++6 libqt5core5a libqt5gui5 libqt5widgets5 libegl1 libopengl0 libglu1-mesa
                libpng16-16 libfreetype6 libfontconfig1 libgl1-mesa-dri fonts-dejavu-core)
  if(NOT package IN_LIST names)
    message(FATAL_ERROR "rigkit's Depends lacks ${package}: ${depends}")
  endif()
endforeach()
field(${dev_deb} Depends depends)
depended_names("${depends}" names)
string(FIND "${depends}" "rigkit (= ${VERSION})" exact)
if(exact EQUAL -1 OR NOT names STREQUAL "rigkit;qtbase5-dev;libglm-dev;libgl-dev;libopengl-dev")
  message(FATAL_ERROR "librigkit-dev depends on \"${depends}\"")
endif()

# Each file in one package: what runs in rigkit, what builds in librigkit-dev.
contents(${runtime_deb} runtime)
contents(${dev_deb} development)
set(host usr/${LIBDIR}/librigkit_host.so)
foreach(want
    "runtime=usr/${BINDIR}/rigkit-run"
    "runtime=usr/${BINDIR}/rigkit-view"
    "runtime=${host}.${VERSION}"
    "runtime=${host}.${HOST_SOVERSION} -> librigkit_host.so.${VERSION}"
    "runtime=usr/${PLUGINDIR}/librigkit.so"
    "runtime=usr/share/rigkit/examples/showcase.json"
    "runtime=usr/share/doc/rigkit/copyright"
    "development=${host} -> librigkit_host.so.${HOST_SOVERSION}"
    "development=usr/include/rigkit/host/scene/factories.h"
    "development=usr/include/rigkit/pickers/pickers.h"
    "development=usr/${LIBDIR}/cmake/rigkit/rigkitConfig.cmake"
    "development=usr/${LIBDIR}/pkgconfig/rigkit.pc"
    "development=usr/share/doc/librigkit-dev/copyright")
  string(REGEX MATCH "^([a-z]+)=(.*)$" _ "${want}")
  if(NOT "${CMAKE_MATCH_2}" IN_LIST ${CMAKE_MATCH_1})
    message(FATAL_ERROR "the ${CMAKE_MATCH_1} package lacks ${CMAKE_MATCH_2}:\n${${CMAKE_MATCH_1}}")
  endif()
endforeach()
foreach(path ${runtime})
  if(path MATCHES "^usr/(include|${LIBDIR}/(cmake|pkgconfig))/")
    message(FATAL_ERROR "the runtime package holds the development file ${path}")
  endif()
endforeach()
foreach(entry ${development})
  string(REGEX REPLACE " -> .*" "" path "${entry}")
  if(path MATCHES "^usr/${BINDIR}/|^usr/share/rigkit/|\\.so\\.[0-9]|^usr/${PLUGINDIR}/")
    message(FATAL_ERROR "the development package holds the run-time file ${path}")
  endif()
endforeach()

# Installed at /usr, the pkg-config file names plain paths: no "/pkgconfig/../.." to
# carry into every build that uses it.
set(unpacked ${WORK_DIR}/unpacked)
run(_ dpkg-deb --extract ${dev_deb} ${unpacked})
file(READ ${unpacked}/usr/${LIBDIR}/pkgconfig/rigkit.pc pc)
if(NOT pc MATCHES "^prefix=/usr\n" OR pc MATCHES "\\.\\.|pcfiledir")
  message(FATAL_ERROR "the packaged rigkit.pc reads:\n${pc}")
endif()

foreach(deb ${runtime_deb} ${dev_deb})
  file(SIZE ${deb} size)
  message(STATUS "${deb}: ${size} bytes")
endforeach()
