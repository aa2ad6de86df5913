# The built library must export exactly the names its export list gives,
# the shared library for Linux also the private entries of the list's
# RKVTPS32_PRIVATE node, in that version node and no other; and a Windows
# DLL must import nothing but system DLLs: no sockets library
# (it is bound by name at run time) and no MinGW runtime DLL.
# A static library (FORMAT archive) must define no global symbol but those
# names either: the rest of its code cannot clash with a consumer's.
# FORMAT=coff (llvm-readobj, for the ARM64 DLL, which GNU objdump cannot
# read) checks the ordinals too, and admits only the system DLLs the library
# calls; OBJECTS, a list of the library's object files, must then hold no
# constructor, destructor or thread-local section: that DLL has no runtime
# start-up to run them.
# Usage: cmake -DFORMAT=elf|archive|pe|coff -DTOOL=nm|objdump|llvm-readobj -DLIBRARY=... -DLIST=...
#              [-DOBJECTS=...] -P ...
include("${CMAKE_CURRENT_LIST_DIR}/read_export_names.cmake")

# The dumps are parsed by their English headings, whatever locale the run uses.
set(ENV{LC_ALL} C)

if(FORMAT STREQUAL "elf" OR FORMAT STREQUAL "archive")
  rk_map_exports("${LIST}" expected)
  if(FORMAT STREQUAL "elf")
    # The dynamic symbols, text only: the version node itself shows as an
    # absolute symbol.
    set(nm_options -D --defined-only)
    set(symbol " [TtWi] ([^ @]+)(@@?[A-Z0-9_.]+)?$")
  else()
    # Every global definition, whatever its kind (data, weak, unique).
    set(nm_options -g --defined-only)
    set(symbol "^[0-9a-f]+ [A-Za-z] ([^ ]+)$")
  endif()
  execute_process(COMMAND "${TOOL}" ${nm_options} "${LIBRARY}"
                  OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
  endif()
  rk_map_private_entries("${LIST}" private)
  string(REPLACE "\n" ";" lines "${dump}")
  set(actual "")
  foreach(line IN LISTS lines)
    if(line MATCHES "${symbol}")
      set(name "${CMAKE_MATCH_1}")
      set(node "${CMAKE_MATCH_2}")
      list(APPEND actual "${name}")
      list(FIND private "${name}" at)
      set(listed_private NO)
      if(NOT at EQUAL -1)
        set(listed_private YES)
      endif()
      set(in_private_node NO)
      if(node STREQUAL "@@RKVTPS32_PRIVATE")
        set(in_private_node YES)
      endif()
      if(FORMAT STREQUAL "elf" AND NOT listed_private STREQUAL in_private_node)
        message(FATAL_ERROR "${name} is in version node \"${node}\": only the private entries "
                            "are in @@RKVTPS32_PRIVATE")
      endif()
    endif()
  endforeach()
  # A shared library carries the private entries; the static one, for
  # drivers alone, does not.
  if(FORMAT STREQUAL "elf")
    list(APPEND expected ${private})
    list(SORT expected)
  endif()
elseif(FORMAT STREQUAL "coff")
  rk_def_exports("${LIST}" names expected)
  execute_process(COMMAND "${TOOL}" --coff-exports --coff-imports "${LIBRARY}"
                  OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
  endif()
  # lld numbers the address table from 0 and leaves ordinal 0 empty.
  string(REGEX MATCHALL "Ordinal: [0-9]+\n  Name: [A-Za-z0-9_]+" entries "${dump}")
  set(actual "")
  foreach(entry IN LISTS entries)
    string(REGEX MATCH "Ordinal: ([0-9]+)\n  Name: ([A-Za-z0-9_]+)" _ "${entry}")
    list(APPEND actual "${CMAKE_MATCH_2}=${CMAKE_MATCH_1}")
  endforeach()
  string(REGEX MATCHALL "Import {\n  Name: [^\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(TOLOWER "${import}" lower)
    if(NOT lower MATCHES "name: (kernel32|advapi32|msvcrt)\\.dll$")
      message(FATAL_ERROR "${LIBRARY} imports a DLL that is not one of the system's: ${import}")
    endif()
  endforeach()
  message(STATUS "imports: ${imports}")
  foreach(object IN LISTS OBJECTS)
    execute_process(COMMAND "${TOOL}" --sections "${object}" OUTPUT_VARIABLE sections)
    if(sections MATCHES "Name: (\\.ctors|\\.dtors|\\.CRT\\$X|\\.tls)[^\n]*")
      message(FATAL_ERROR "${object} needs start-up work the DLL never does: ${CMAKE_MATCH_0}")
    endif()
  endforeach()
  list(LENGTH OBJECTS count)
  message(STATUS "${count} objects, none with start-up work")
else()
  rk_def_exports("${LIST}" expected ordinals)
  execute_process(COMMAND "${TOOL}" -p "${LIBRARY}"
                  OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${TOOL} failed on ${LIBRARY}")
  endif()
  # The name table lists one "[index] name" line per export. Brackets have
  # a meaning in CMake lists, so only the names are taken out of it.
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\] [^\n]+\n)*)" _ "${dump}")
  string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_@]*\n" actual "${CMAKE_MATCH_1}")
  list(TRANSFORM actual STRIP)
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(TOLOWER "${import}" lower)
    if(lower MATCHES "ws2_32|wsock32|libstdc|libgcc|libwinpthread")
      message(FATAL_ERROR "${LIBRARY} must not import it: ${import}")
    endif()
  endforeach()
  message(STATUS "imports: ${imports}")
endif()

list(SORT actual)
rk_expect_same("exports of ${LIBRARY} and ${LIST}" "${actual}" "${expected}")
list(LENGTH actual count)
message(STATUS "${count} exports, as listed: ${actual}")
