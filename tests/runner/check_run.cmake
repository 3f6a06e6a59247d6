# Runs a program and checks how it ended, which WILL_FAIL cannot: a crash must not pass for
# an expected failure.
#
#   -DPROGRAM=path            the program to run
#   -DARGS=a|b|c              its arguments, separated by "|"
#   -DEXIT_CODE=n             the exit code it must end with
#   -DSTDERR_PREFIX=text      standard error must start with this (optional)
#   -DSTDERR_CONTAINS=text    standard error must contain this (optional)
#   -DEXPECTED_FILE=path      standard error must contain this file's first line (optional)
#   -DSTDOUT_FILE=path        standard output goes to this file, such as /dev/full (optional)

string(REPLACE "|" ";" args "${ARGS}")
if(DEFINED STDOUT_FILE)
  execute_process(COMMAND "${PROGRAM}" ${args}
                  RESULT_VARIABLE code
                  OUTPUT_FILE "${STDOUT_FILE}"
                  ERROR_VARIABLE err)
  set(out "(written to ${STDOUT_FILE})")
else()
  execute_process(COMMAND "${PROGRAM}" ${args}
                  RESULT_VARIABLE code
                  OUTPUT_VARIABLE out
                  ERROR_VARIABLE err)
endif()

if(NOT "${code}" STREQUAL "${EXIT_CODE}")
  message(FATAL_ERROR "ended with \"${code}\" instead of exit code ${EXIT_CODE}\nstdout:\n${out}\nstderr:\n${err}")
endif()

if(DEFINED STDERR_PREFIX)
  string(FIND "${err}" "${STDERR_PREFIX}" at)
  if(NOT at EQUAL 0)
    message(FATAL_ERROR "standard error does not start with \"${STDERR_PREFIX}\":\n${err}")
  endif()
endif()

if(DEFINED EXPECTED_FILE)
  file(STRINGS "${EXPECTED_FILE}" lines LIMIT_COUNT 1)
  list(GET lines 0 STDERR_CONTAINS)
endif()

if(DEFINED STDERR_CONTAINS)
  string(FIND "${err}" "${STDERR_CONTAINS}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "standard error lacks \"${STDERR_CONTAINS}\":\n${err}")
  endif()
endif()
