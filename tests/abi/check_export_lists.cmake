# The header, both module-definition files and the version script must
# name the same exports, and both .def files must give the same ordinals.
# The version script's one other node, RKVTPS32_PRIVATE, must name exactly
# the entry points the private header declares, all "rkvtps32_private_",
# none of them an export of the public header or of a .def (the Windows
# DLL has no private entry).
# Usage: cmake -DSOURCE_DIR=... -P check_export_lists.cmake
include("${CMAKE_CURRENT_LIST_DIR}/read_export_names.cmake")

rk_header_exports("${SOURCE_DIR}/include/rkvtps32.h" header)
rk_def_exports("${SOURCE_DIR}/exports/rkvtps32.def" def64 ordinals64)
rk_def_exports("${SOURCE_DIR}/exports/rkvtps32_x86.def" def32 ordinals32)
rk_map_exports("${SOURCE_DIR}/exports/rkvtps32.map" map)

list(LENGTH header count)
if(count EQUAL 0)
  message(FATAL_ERROR "no exports found in the header")
endif()
rk_expect_same("header and rkvtps32.def" "${header}" "${def64}")
rk_expect_same("header and rkvtps32_x86.def" "${header}" "${def32}")
rk_expect_same("header and rkvtps32.map" "${header}" "${map}")
rk_expect_same("ordinals of the two .def files" "${ordinals64}" "${ordinals32}")
message(STATUS "${count} exports agree: ${header}")

rk_map_private_entries("${SOURCE_DIR}/exports/rkvtps32.map" private_map)
rk_private_header_entries("${SOURCE_DIR}/src/private/rkvtps32_private.h" private_header)
rk_expect_same("src/private/rkvtps32_private.h and the RKVTPS32_PRIVATE node"
               "${private_header}" "${private_map}")
file(READ "${SOURCE_DIR}/exports/rkvtps32.map" map_text)
string(REGEX MATCHALL "\n[A-Za-z0-9_.]+ {" nodes "${map_text}")
string(REGEX REPLACE "[\n {]" "" nodes "${nodes}")
rk_expect_same("version nodes" "${nodes}" "RKVTPS32_3;RKVTPS32_3.3;RKVTPS32_PRIVATE")
foreach(name IN LISTS private_map)
  if(NOT name MATCHES "^rkvtps32_private_[a-z0-9_]+$")
    message(FATAL_ERROR "private entry ${name} lacks the rkvtps32_private_ prefix")
  endif()
endforeach()
file(READ "${SOURCE_DIR}/include/rkvtps32.h" public_header)
file(READ "${SOURCE_DIR}/exports/rkvtps32.def" def_text)
foreach(name IN LISTS private_map)
  if(public_header MATCHES "${name}" OR def_text MATCHES "${name}")
    message(FATAL_ERROR "private entry ${name} is named in the public header or the .def")
  endif()
endforeach()
list(LENGTH private_map private_count)
if(private_count EQUAL 0)
  message(FATAL_ERROR "no private entries found in the version script")
endif()
message(STATUS "${private_count} private entries agree: ${private_map}")
