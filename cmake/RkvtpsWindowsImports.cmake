# Import libraries for a Windows build that links no MinGW runtime (the
# ARM64 toolchain): one per system DLL, made by llvm-dlltool from the short
# export lists in cmake/windows-imports, so that -lkernel32, -ladvapi32 ...
# find them. Only the names listed can be linked; a new call fails the link
# until its name is added.
set(rk_import_dir "${CMAKE_BINARY_DIR}/windows-imports")
file(MAKE_DIRECTORY "${rk_import_dir}")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "ARM64")
  set(rk_import_machine arm64)
else()
  message(FATAL_ERROR "no import libraries for ${CMAKE_SYSTEM_PROCESSOR}")
endif()
file(GLOB rk_import_defs CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/cmake/windows-imports/*.def")
foreach(def IN LISTS rk_import_defs)
  get_filename_component(name "${def}" NAME_WE)
  execute_process(
    COMMAND "${CMAKE_DLLTOOL}" -m ${rk_import_machine} -d "${def}" -l "${rk_import_dir}/lib${name}.a"
    RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "llvm-dlltool could not make lib${name}.a from ${def}")
  endif()
endforeach()
link_directories("${rk_import_dir}")
