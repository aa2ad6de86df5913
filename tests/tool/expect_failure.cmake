# Runs PROGRAM (through EMULATOR, for a cross build) with ARGS and passes
# when it exits non-zero and its output matches MESSAGE.
set(command ${EMULATOR} "${PROGRAM}" ${ARGS})
execute_process(COMMAND ${command} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "exit ${code}\nstdout: ${out}\nstderr: ${err}")
if(code EQUAL 0)
  message(FATAL_ERROR "expected a failure")
endif()
if(NOT "${out}${err}" MATCHES "${MESSAGE}")
  message(FATAL_ERROR "expected output matching: ${MESSAGE}")
endif()
