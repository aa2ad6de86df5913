# Shared build settings for the project's own targets.

# The project's own targets: C++17 without extensions as a requirement of
# each target (never a global), warnings on, and errors where asked
# (RKVTPS32_WERROR, on in the presets and CI), never in GoogleTest's code.
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
endfunction()

# A Windows program must run on a machine that has only the system DLLs:
# a driver's helper cannot ship a C++ runtime beside it.
function(rk_link_runtime_statically target)
  if(MINGW AND NOT RKVTPS32_WINDOWS_NO_CRT)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
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
