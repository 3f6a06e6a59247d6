# Shared by the install and package tests.

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
