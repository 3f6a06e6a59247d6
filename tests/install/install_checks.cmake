# What the install test and the package test both check, on a tree laid out as installed.

cmake_minimum_required(VERSION 3.21)

# Runs a command; fails the test unless it exits 0. Its output (standard output and error)
# goes into `out`.
function(run out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
  if(NOT code STREQUAL "0")
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command}\nended with \"${code}\"\nstdout:\n${stdout}\nstderr:\n${stderr}")
  endif()
  set(${out} "${stdout}${stderr}" PARENT_SCOPE)
endfunction()

# The host library is known by its versioned SONAME, the plug-in module by its path alone;
# every search path is relative to the file, so that the tree works wherever it is put and
# nothing leads back into the build.
function(check_elf_names root host plugin)
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
