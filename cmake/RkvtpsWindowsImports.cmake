# Import libraries for a Windows build that links no MinGW runtime (the
# ARM64 toolchain): one per system DLL, made by llvm-dlltool from the short
# export lists in cmake/windows-imports, so that -lkernel32, -ladvapi32 ...
# of every binary that rk_windows_binary links find them. Only the names listed can be linked; a new call fails the link
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

# lld writes every archive's path and its own command line into the PDB,
# and the PDB's GUID, which the DLL holds, is a hash of the PDB: an absolute
# path to these libraries would put the build's folder into the DLL. So each
# binary finds them by a path relative to where its link runs (the target's
# folder with Makefiles, the build's top with Ninja).
function(rk_link_imports_relatively target)
  if(CMAKE_GENERATOR MATCHES "Ninja")
    set(link_dir "${CMAKE_BINARY_DIR}")
  else()
    get_target_property(link_dir ${target} BINARY_DIR)
  endif()
  file(RELATIVE_PATH relative "${link_dir}" "${rk_import_dir}")
  target_link_options(${target} PRIVATE "-L${relative}")
endfunction()
