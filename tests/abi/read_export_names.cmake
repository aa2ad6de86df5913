# Export names as each of the export lists states them. Shared by the
# checks that compare those lists with each other and with the binaries.

# The names the first group of `name_regex` finds in the lines of `file`
# that match `line_regex`, sorted.
function(rk_names_in_lines file line_regex name_regex out)
  file(STRINGS "${file}" lines REGEX "${line_regex}")
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "${name_regex}" _ "${line}")
    list(APPEND names "${CMAKE_MATCH_1}")
  endforeach()
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# The exported functions the public header declares.
function(rk_header_exports header out)
  rk_names_in_lines("${header}" "RK_EXPORT int32_t RK_API [A-Za-z0-9]+\\(" "RK_API ([A-Za-z0-9]+)\\("
                    names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Names of a module-definition file, without the x86 @N decoration; the
# ordinals go into out_ordinals as NAME=ORDINAL.
function(rk_def_exports def out out_ordinals)
  file(STRINGS "${def}" lines REGEX "^[ \t]+RK[A-Za-z0-9]+(@[0-9]+)?[ \t]+@[0-9]+")
  set(names "")
  set(ordinals "")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "(RK[A-Za-z0-9]+)(@[0-9]+)?[ \t]+@([0-9]+)" _ "${line}")
    list(APPEND names "${CMAKE_MATCH_1}")
    list(APPEND ordinals "${CMAKE_MATCH_1}=${CMAKE_MATCH_3}")
  endforeach()
  list(SORT names)
  list(SORT ordinals)
  set(${out} "${names}" PARENT_SCOPE)
  set(${out_ordinals} "${ordinals}" PARENT_SCOPE)
endfunction()

# Names of the global section of the Linux version script.
function(rk_map_exports map out)
  rk_names_in_lines("${map}" "^[ \t]+RK[A-Za-z0-9]+;" "(RK[A-Za-z0-9]+);" names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Names of the version script's private node, RKVTPS32_PRIVATE: the entry
# points of src/private/rkvtps32_private.h, for the project's own programs.
function(rk_map_private_entries map out)
  file(READ "${map}" text)
  string(REGEX MATCH "\nRKVTPS32_PRIVATE {[^}]*}" node "${text}")
  # Each "name;" match ends in the list separator: the names come out with
  # empty items between them.
  string(REGEX MATCHALL "[A-Za-z0-9_]+;" names "${node}")
  list(FILTER names INCLUDE REGEX ".")
  list(SORT names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# The entry points the private header declares.
function(rk_private_header_entries header out)
  rk_names_in_lines("${header}" "^RK_EXPORT [a-z ]+ [a-z0-9_]+\\(" " ([a-z0-9_]+)\\(" names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

function(rk_expect_same what a b)
  if(NOT "${a}" STREQUAL "${b}")
    message(FATAL_ERROR "${what} differ:\n  ${a}\nversus\n  ${b}")
  endif()
endfunction()
