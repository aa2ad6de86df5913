# Writes the rkvtps(1) man page with help2man from the tool's own help:
# the top-level --help and, as a section of its own, each command's --help
# with its tables. Run at build time: -DPROGRAM= -DHELP2MAN= -DVERSION= -DOUTPUT=
# The version is given, not asked of the tool, whose --version names the
# path of the library it loaded: a build machine's path has no place in a page.
set(commands show nup owner validate client-name host-address decode)
set(include "${OUTPUT}.include")
file(WRITE "${include}" "[COMMANDS]\n")
foreach(command IN LISTS commands)
  execute_process(COMMAND "${PROGRAM}" ${command} --help
                  OUTPUT_VARIABLE help RESULT_VARIABLE code)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${command} --help exited ${code}")
  endif()
  # roff: a backslash is written \e; a line may not begin with a dot.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "\n\\." "\n\\\\&." help "${help}")
  file(APPEND "${include}" ".SS ${command}\n.nf\n${help}\n.fi\n")
endforeach()
execute_process(
  COMMAND "${HELP2MAN}" --no-info --section=1
          "--name=job-control command strings from the rkvtps32 library"
          "--version-string=${VERSION}" "--include=${include}" "--output=${OUTPUT}"
          "${PROGRAM}"
  RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "help2man exited ${code}")
endif()
# Installed compressed, as Debian's policy asks (gzip -9n: no name, no time).
execute_process(COMMAND gzip -9nfk "${OUTPUT}" RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "gzip exited ${code}")
endif()
