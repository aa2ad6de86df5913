# The hardening Debian's build flags give a package, in every build of the
# project's own ELF programs and library: the library runs inside print
# filters and drivers, so a plain `cmake --build` must give the same
# protection as the package. Checked once here, applied per target by
# rk_harden (through rk_set_warnings), never as a global flag, so a parent
# project's own targets are left alone.
#   - stack protector (strong), stack clash protection and, on x86,
#     control-flow protection (CET: Debian's newer dpkg-buildflags add
#     both, and hardening-check looks for the latter);
#   - _FORTIFY_SOURCE=2, only where the code is optimized (glibc warns, and
#     -Werror fails, without optimization), and not under the sanitizers,
#     whose interceptors it hides; flags that already name it (Debian's
#     CPPFLAGS) are left to decide;
#   - RELRO and BIND_NOW;
#   - position-independent executables.
# Windows (PE, MinGW or MSVC) and Apple's linker get none of it.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)

set(RK_HARDEN_COMPILE_OPTIONS)
set(RK_HARDEN_COMPILE_DEFINITIONS)
set(RK_HARDEN_LINK_OPTIONS)
set(RK_HARDEN_PIE OFF)

option(RKVTPS32_HARDEN "Build with stack protector, _FORTIFY_SOURCE, RELRO, BIND_NOW and PIE" ON)
if(RKVTPS32_HARDEN AND NOT WIN32 AND NOT APPLE AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang"
   AND NOT MSVC)
  check_cxx_compiler_flag(-fstack-protector-strong RK_HAVE_STACK_PROTECTOR_STRONG)
  if(RK_HAVE_STACK_PROTECTOR_STRONG)
    list(APPEND RK_HARDEN_COMPILE_OPTIONS -fstack-protector-strong)
  endif()

  check_cxx_compiler_flag(-fstack-clash-protection RK_HAVE_STACK_CLASH_PROTECTION)
  if(RK_HAVE_STACK_CLASH_PROTECTION)
    list(APPEND RK_HARDEN_COMPILE_OPTIONS -fstack-clash-protection)
  endif()
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86)$")
    check_cxx_compiler_flag(-fcf-protection RK_HAVE_CF_PROTECTION)
    if(RK_HAVE_CF_PROTECTION)
      list(APPEND RK_HARDEN_COMPILE_OPTIONS -fcf-protection)
    endif()
  endif()

  set(rk_all_flags "${CMAKE_C_FLAGS} ${CMAKE_CXX_FLAGS} $ENV{CPPFLAGS}")
  if(NOT rk_all_flags MATCHES "_FORTIFY_SOURCE" AND NOT rk_all_flags MATCHES "-fsanitize")
    list(APPEND RK_HARDEN_COMPILE_DEFINITIONS
         "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>")
  endif()

  check_linker_flag(CXX "-Wl,-z,relro" RK_HAVE_LINKER_RELRO)
  check_linker_flag(CXX "-Wl,-z,now" RK_HAVE_LINKER_NOW)
  if(RK_HAVE_LINKER_RELRO)
    list(APPEND RK_HARDEN_LINK_OPTIONS "-Wl,-z,relro")
  endif()
  if(RK_HAVE_LINKER_NOW)
    list(APPEND RK_HARDEN_LINK_OPTIONS "-Wl,-z,now")
  endif()

  check_pie_supported(OUTPUT_VARIABLE rk_pie_output LANGUAGES C CXX)
  if(CMAKE_CXX_LINK_PIE_SUPPORTED)
    set(RK_HARDEN_PIE ON)
  else()
    message(STATUS "The linker makes no position-independent executables: ${rk_pie_output}")
  endif()
endif()

function(rk_harden target)
  target_compile_options(${target} PRIVATE ${RK_HARDEN_COMPILE_OPTIONS})
  target_compile_definitions(${target} PRIVATE ${RK_HARDEN_COMPILE_DEFINITIONS})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    target_link_options(${target} PRIVATE ${RK_HARDEN_LINK_OPTIONS})
  endif()
  # Code that ends up in a program is compiled position-independent, so the
  # program links as PIE (CMP0083 passes -pie at link time).
  if(RK_HARDEN_PIE)
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  endif()
endfunction()
