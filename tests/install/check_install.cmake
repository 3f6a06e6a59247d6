# Installs the build into a fresh prefix and checks it as a user of the package would:
# its layout, the libraries' names and search paths, the installed programs finding the
# installed plug-in, pkg-config's answers, and a project out of this tree that finds the
# package, loads the plug-in and draws with it.
#
#   -DBUILD_DIR, -DSOURCE_DIR, -DWORK_DIR (emptied first), -DCONSUMER_DIR, -DVERSION, -DHOST_SOVERSION,
#   -DBINDIR, -DLIBDIR, -DPLUGINDIR (as installed, relative), -DREADELF, -DGENERATOR,
#   -DCXX, -DLAUNCHER (may be empty), -DCONSUMER_FLAGS (may be empty)

cmake_minimum_required(VERSION 3.21)
include(${CMAKE_CURRENT_LIST_DIR}/install_checks.cmake)

# The host library is known by its versioned SONAME, the plug-in module by its path alone;
# every search path is relative to the file, so that the tree works wherever it is put and
# nothing leads back into the build.
function(check_elf_names host plugin)
  run(dynamic ${READELF} -d ${host})
  if(NOT dynamic MATCHES "Library soname: \\[librigkit_host\\.so\\.${HOST_SOVERSION}\\]")
    message(FATAL_ERROR "${host} has not the SONAME librigkit_host.so.${HOST_SOVERSION}:\n${dynamic}")
  endif()
  run(dynamic ${READELF} -d ${plugin})
  if(dynamic MATCHES "soname")
    message(FATAL_ERROR "the plug-in module has a SONAME:\n${dynamic}")
  endif()
  foreach(file ${host} ${plugin} ${ARGN})
    run(dynamic ${READELF} -d ${file})
    string(REGEX MATCHALL "R(UN)?PATH\\)[^[]*\\[[^]]*\\]" paths "${dynamic}")
    foreach(entry ${paths})
      string(REGEX REPLACE ".*\\[(.*)\\]" "\\1" entry "${entry}")
      string(REPLACE ":" ";" entry "${entry}")
      foreach(dir ${entry})
        if(NOT dir MATCHES "^\\$ORIGIN(/|$)")
          message(FATAL_ERROR "${file} searches \"${dir}\" for libraries")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()

# The installed runner and viewer, given no --plugin, find the plug-in installed beside
# them in `root` (its search paths lead nowhere else: see check_elf_names).
function(check_installed_programs root scratch)
  set(runner ${root}/${BINDIR}/rigkit-run)
  run(version ${runner} --version)
  if(NOT version STREQUAL "rigkit-run ${VERSION}\n")
    message(FATAL_ERROR "rigkit-run --version printed \"${version}\"")
  endif()
  run(list ${runner} --list)
  if(NOT list MATCHES "OpenGL painters \\([0-9]+\\):\n(  [A-Z0-9_]+\n)*  ARROW_X\n")
    message(FATAL_ERROR "rigkit-run --list printed:\n${list}")
  endif()
  # The viewer loads the plug-in before it reads the scene, so a missing scene is the first
  # thing it can complain of once the plug-in is loaded. No window is opened.
  set(missing ${scratch}/no-such-scene.json)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${root}/${BINDIR}/rigkit-view ${missing}
                  RESULT_VARIABLE code OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  string(FIND "${stderr}" "${missing}: cannot open the file" at)
  if(NOT code STREQUAL "1" OR at EQUAL -1)
    message(FATAL_ERROR "rigkit-view ended with \"${code}\":\n${stdout}${stderr}")
  endif()
endfunction()

# Only the host's public interface is installed, and it stands alone: every header an
# installed one includes in quotes is installed, and so is every host header the plug-in's
# sources include (the plug-in builds against the package as any host's plug-in would).
function(check_headers include_dir)
  file(GLOB_RECURSE installed RELATIVE ${include_dir} ${include_dir}/*)
  file(GLOB_RECURSE plugin_sources RELATIVE ${SOURCE_DIR}
       ${SOURCE_DIR}/registry/* ${SOURCE_DIR}/transformations/* ${SOURCE_DIR}/manipulators/*
       ${SOURCE_DIR}/painters/* ${SOURCE_DIR}/pickers/*)
  foreach(file ${installed} ${plugin_sources})
    if(file IN_LIST installed)
      set(path ${include_dir}/${file})
    else()
      set(path ${SOURCE_DIR}/${file})
    endif()
    file(STRINGS ${path} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE ".*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
      # The plug-in's own headers stay with its sources; the host's must be installed.
      if(NOT included IN_LIST installed AND (file IN_LIST installed OR included MATCHES "^host/"))
        message(FATAL_ERROR "${file} includes ${included}, which the install lacks")
      endif()
    endforeach()
  endforeach()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
run(install_log ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

foreach(file
    ${BINDIR}/rigkit-run
    ${BINDIR}/rigkit-view
    ${LIBDIR}/librigkit_host.so.${VERSION}
    ${LIBDIR}/librigkit_host.so.${HOST_SOVERSION}
    ${LIBDIR}/librigkit_host.so
    ${PLUGINDIR}/librigkit.so
    ${LIBDIR}/cmake/rigkit/rigkitConfig.cmake
    ${LIBDIR}/cmake/rigkit/rigkitConfigVersion.cmake
    ${LIBDIR}/cmake/rigkit/rigkitTargets.cmake
    ${LIBDIR}/pkgconfig/rigkit.pc
    include/rigkit/host/scene/factories.h
    include/rigkit/host/draw/VS_SceneRenderer.h
    include/rigkit/registry/export.h
    include/rigkit/pickers/pickers.h
    include/rigkit/manipulators/translation_manipulators.h
    include/rigkit/manipulators/slider_manipulator.h
    share/rigkit/examples/showcase.json)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "the install lacks ${file}; it installed:\n${install_log}")
  endif()
endforeach()
# Nothing of the build's own: its tests and tools stay out, and so does the plug-in
# anywhere but in its folder.
file(GLOB programs RELATIVE ${prefix}/${BINDIR} ${prefix}/${BINDIR}/*)
if(NOT programs STREQUAL "rigkit-run;rigkit-view")
  message(FATAL_ERROR "${BINDIR}/ holds ${programs}, not just rigkit-run and rigkit-view")
endif()
file(GLOB_RECURSE plugins RELATIVE ${prefix} ${prefix}/librigkit.so)
if(NOT plugins STREQUAL "${PLUGINDIR}/librigkit.so")
  message(FATAL_ERROR "librigkit.so is installed as ${plugins}")
endif()
check_headers(${prefix}/include/rigkit)

check_elf_names(${prefix}/${LIBDIR}/librigkit_host.so.${VERSION} ${prefix}/${PLUGINDIR}/librigkit.so
                ${prefix}/${BINDIR}/rigkit-run ${prefix}/${BINDIR}/rigkit-view)

# The install is moved as a whole before it is used: nothing in it may name where it was
# installed.
set(installed_at ${prefix})
set(prefix ${WORK_DIR}/moved)
file(RENAME ${installed_at} ${prefix})
check_installed_programs(${prefix} ${WORK_DIR})

# pkg-config, from the file's own place.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run(cflags pkg-config --cflags rigkit)
run(libs pkg-config --libs rigkit)
run(plugin pkg-config --variable=plugin rigkit)
run(pc_version pkg-config --modversion rigkit)
string(REGEX MATCH "-I([^ \n]*/rigkit)" _ "${cflags}")
set(include_dir ${CMAKE_MATCH_1})
string(REGEX MATCH "-L([^ \n]*)" _ "${libs}")
set(library_dir ${CMAKE_MATCH_1})
string(STRIP "${plugin}" plugin)
string(STRIP "${pc_version}" pc_version)
foreach(pair "${include_dir}=${prefix}/include/rigkit" "${library_dir}=${prefix}/${LIBDIR}"
             "${plugin}=${prefix}/${PLUGINDIR}/librigkit.so")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 got)
  list(GET pair 1 want)
  get_filename_component(got_real "${got}" REALPATH)
  if(got STREQUAL "" OR NOT got_real STREQUAL want)
    message(FATAL_ERROR "pkg-config gives \"${got}\" where ${want} is installed (cflags: ${cflags}, libs: ${libs})")
  endif()
endforeach()
if(NOT libs MATCHES "-lrigkit_host" OR NOT pc_version STREQUAL VERSION)
  message(FATAL_ERROR "pkg-config gives libs \"${libs}\", version \"${pc_version}\"")
endif()

# A host's build: find_package, the host library linked, the plug-in opened by its path.
set(consumer_args -S ${CONSUMER_DIR} -B ${WORK_DIR}/consumer -G ${GENERATOR} -DCMAKE_PREFIX_PATH=${prefix}
                  -DCMAKE_CXX_COMPILER=${CXX})
if(LAUNCHER)
  list(APPEND consumer_args -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()
if(CONSUMER_FLAGS)
  list(APPEND consumer_args "-DCMAKE_CXX_FLAGS=${CONSUMER_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_FLAGS}")
endif()
run(_ ${CMAKE_COMMAND} ${consumer_args})
run(_ ${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(drawn ${WORK_DIR}/consumer/consumer)
message(STATUS "${drawn}")
