# Runs PROGRAM (through EMULATOR, for a cross build) with ARGS and passes
# when it exits with STATUS and its standard error matches MESSAGE.
set(command ${EMULATOR} "${PROGRAM}" ${ARGS})
execute_process(COMMAND ${command} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "exit ${code}\nstdout: ${out}\nstderr: ${err}")
if(NOT code STREQUAL "${STATUS}")
  message(FATAL_ERROR "expected exit status ${STATUS}")
endif()
if(NOT "${err}" MATCHES "${MESSAGE}")
  message(FATAL_ERROR "expected standard error matching: ${MESSAGE}")
endif()
