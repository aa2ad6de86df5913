# Shared build settings for the project's own targets.
include(RkvtpsHardening)

# The project's own targets: C++17 without extensions as a requirement of
# each target (never a global), warnings on, and errors where asked
# (RKVTPS32_WERROR, on in the presets and CI), never in GoogleTest's code,
# and the hardening of RkvtpsHardening.cmake.
# The flags are the compiler's own: MSVC (and clang-cl) spell them
# differently, and a compiler that knows neither gets none.
function(rk_set_warnings target)
  target_compile_features(${target} PRIVATE cxx_std_17)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${RKVTPS32_WERROR}>:/WX>)
  elseif(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${RKVTPS32_WERROR}>:-Werror>)
  endif()
  rk_harden(${target})
endfunction()

# Every Windows DLL and program the project links. It must run on a machine
# that has only the system DLLs (a driver's helper cannot ship a C++ runtime
# beside it), so the runtimes are linked in; a build without a MinGW runtime
# (ARM64, RKVTPS32_WINDOWS_NO_CRT) links none at all. Built with clang, it
# carries Control Flow Guard: the compiler's instrumentation (clang 14 has no
# -mguard=cf for MinGW targets, only the code generator's -cfguard, which the
# whole build gets), lld's -guard:cf tables and this project's load
# configuration (src/os/win32/load_config.c; MinGW-w64 10 has none). An x86
# image is marked as registering no SEH handler: the code unwinds with DWARF
# tables, and SafeSEH cannot be had, as lld takes it only when every object
# is marked SafeSEH-compatible and the GCC-built runtimes are not.
function(rk_windows_binary target)
  if(NOT MINGW)
    return()
  endif()
  if(RKVTPS32_WINDOWS_NO_CRT)
    rk_link_imports_relatively(${target})
  else()
    target_link_options(${target} PRIVATE -static)
  endif()
  if(CMAKE_C_COMPILER_ID STREQUAL "Clang" AND TARGET rk_load_config)
    target_sources(${target} PRIVATE $<TARGET_OBJECTS:rk_load_config>)
    target_link_options(${target} PRIVATE -Wl,--Xlink=-guard:cf
                        $<$<EQUAL:${CMAKE_SIZEOF_VOID_P},4>:-Wl,--no-seh>)
  endif()
endfunction()

# Header-only libraries (CLI11, nlohmann-json): their own CMake package
# where one is found (a parent project's, vcpkg's, Debian's), else the
# headers from the machine's packages. A cross build must not see
# /usr/include as a whole (its C library headers would shadow MinGW's), so
# there only the library's own folder is linked into a private include
# directory, and a package found for the host is not taken.
function(rk_header_only_package name header_dir probe package target)
  add_library(rk_pkg_${name} INTERFACE)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(${package} CONFIG QUIET)
    if(TARGET ${target})
      target_link_libraries(rk_pkg_${name} INTERFACE ${target})
      return()
    endif()
  endif()
  set(root "${CMAKE_BINARY_DIR}/package-include/${name}")
  if(NOT EXISTS "/usr/include/${header_dir}/${probe}")
    message(FATAL_ERROR "${name} not found (/usr/include/${header_dir}/${probe}); "
                        "install it with scripts/install-deps.sh")
  endif()
  file(MAKE_DIRECTORY "${root}")
  if(NOT EXISTS "${root}/${header_dir}")
    file(CREATE_LINK "/usr/include/${header_dir}" "${root}/${header_dir}" SYMBOLIC)
  endif()
  target_include_directories(rk_pkg_${name} SYSTEM INTERFACE "${root}")
endfunction()

# An installed program finds the library by a run path relative to itself
# ($ORIGIN/../lib ...), so a prefix can move and needs no LD_LIBRARY_PATH.
# Installed where the dynamic linker looks anyway (/usr/lib/<multiarch>, as
# Debian's packages do) it gets none: a run path there only overrides the
# system's search. `from` is the program's install folder, absolute or
# relative to the prefix.
function(rk_install_rpath target from)
  set(libdir "${CMAKE_INSTALL_FULL_LIBDIR}")
  list(FIND CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES "${libdir}" in_compiler)
  list(FIND CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES "${libdir}" in_platform)
  if(NOT in_compiler EQUAL -1 OR NOT in_platform EQUAL -1)
    return()
  endif()
  if(NOT IS_ABSOLUTE "${from}")
    set(from "${CMAKE_INSTALL_PREFIX}/${from}")
  endif()
  file(RELATIVE_PATH up "${from}" "${libdir}")
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${up}")
endfunction()
