# The header, both module-definition files and the version script must
# name the same exports, and both .def files must give the same ordinals.
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
