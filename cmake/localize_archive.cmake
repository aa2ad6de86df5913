# Rewrites a static library as one relocatable object whose only global
# symbols are the exports of the version script: its members are linked
# together with -r and every other defined symbol is then made local, as the
# version script's "local: *" does in the shared library (hidden symbols,
# and also the command facts' inline variables, which the compiler makes
# unique global symbols whatever their visibility). Run after the archive
# is made: -DARCHIVE= -DMAP= -DAR= -DRANLIB= -DOBJCOPY= -DCOMPILER=
get_filename_component(name "${ARCHIVE}" NAME_WE)
set(work "${ARCHIVE}.localize")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${work}" RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${ARGN}: exited ${code}")
  endif()
endfunction()

# Members are listed, not globbed, so that two of one name (none today)
# would fail here rather than overwrite each other.
execute_process(COMMAND "${AR}" t "${ARCHIVE}" OUTPUT_VARIABLE members RESULT_VARIABLE code)
string(REGEX REPLACE "\n$" "" members "${members}")
string(REPLACE "\n" ";" members "${members}")
list(REMOVE_DUPLICATES members)
list(LENGTH members count)
execute_process(COMMAND "${AR}" t "${ARCHIVE}" OUTPUT_VARIABLE all)
string(REGEX MATCHALL "[^\n]+" all "${all}")
list(LENGTH all all_count)
if(NOT count EQUAL all_count)
  message(FATAL_ERROR "${ARCHIVE}: two members share a name")
endif()
run("${AR}" x "${ARCHIVE}")
run("${COMPILER}" -r -nostdlib -o "${name}.o" ${members})
# The export names: "    RKName;" lines of the version script.
file(READ "${MAP}" map)
string(REGEX MATCHALL "\n[ \t]+RK[A-Za-z0-9_]+" exports "${map}")
string(REGEX REPLACE "[\n \t]+" "" exports "${exports}")
list(JOIN exports "\n" export_lines)
file(WRITE "${work}/exports.txt" "${export_lines}\n")
run("${OBJCOPY}" --keep-global-symbols=exports.txt "${name}.o")
file(REMOVE "${ARCHIVE}")
run("${AR}" qcD "${ARCHIVE}" "${name}.o")
run("${RANLIB}" -D "${ARCHIVE}")
file(REMOVE_RECURSE "${work}")
