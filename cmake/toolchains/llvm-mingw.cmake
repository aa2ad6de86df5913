# Windows builds in LLVM's MinGW mode: Debian's clang and lld, Debian's
# MinGW-w64 headers and C runtime (/usr/TRIPLE), and the libstdc++ and libgcc
# of g++-mingw-w64-ARCH-posix, whose winpthread threads give std::mutex
# (GoogleTest needs it; the -win32 flavour has none). clang writes CodeView
# and lld a PDB, which GCC and GNU ld cannot; a debugger on Windows reads
# nothing else.
#
# Included by a thin file per architecture that sets RK_MINGW_TRIPLE (and
# CMAKE_SYSTEM_PROCESSOR). It may also set:
#   RK_MINGW_BINUTILS  the prefix of the binutils the build still calls
#                      (windres, dlltool, objdump); default the triple's,
#                      "llvm-" takes LLVM's where a triple has no binutils;
#   RK_MINGW_SYSROOT   the MinGW-w64 headers and runtime; default /usr/TRIPLE;
#   RK_MINGW_GCC_DIR   GCC's folder with libstdc++, libgcc and libssp;
#                      default the newest /usr/lib/gcc/GCC_TRIPLE/*-posix, and
#                      empty for a sysroot that brings its own C++ runtime;
#   RK_MINGW_GCC_TRIPLE  whose GCC folder that is; default the triple;
#   RK_MINGW_NO_CRT    ON where Debian has no MinGW runtime for the triple
#                      (aarch64): see below.
#
# Without a runtime (RK_MINGW_NO_CRT) nothing is linked but import libraries
# the project makes from short export lists (RkvtpsWindowsImports.cmake,
# llvm-dlltool), so every program needs its own entry point: the DLL's
# (src/os/win32/no_crt_entry.cpp, which also makes the stack canary) and the
# C test programs' (tests/windows/console_start.c). C++ is compiled without
# exceptions and RTTI and uses header-only parts of the standard library,
# whose headers are borrowed from another triple's GCC folder (the same on
# every 64-bit MinGW CPU); stdio is msvcrt.dll's own, as MinGW's C99 printf
# lives in its runtime.
if(NOT RK_MINGW_TRIPLE)
  message(FATAL_ERROR "RK_MINGW_TRIPLE is not set: include llvm-mingw.cmake from an architecture's toolchain file")
endif()
if(NOT DEFINED RK_MINGW_BINUTILS)
  set(RK_MINGW_BINUTILS "${RK_MINGW_TRIPLE}-")
endif()
if(NOT DEFINED RK_MINGW_SYSROOT)
  set(RK_MINGW_SYSROOT /usr/${RK_MINGW_TRIPLE})
endif()
if(NOT DEFINED RK_MINGW_GCC_TRIPLE)
  set(RK_MINGW_GCC_TRIPLE ${RK_MINGW_TRIPLE})
endif()
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${RK_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${RK_MINGW_TRIPLE})
set(CMAKE_SYSROOT "${RK_MINGW_SYSROOT}")
# Debian names some LLVM tools only with their version (llvm-windres-14).
foreach(rk_tool IN ITEMS windres dlltool objdump)
  string(TOUPPER "${rk_tool}" rk_var)
  find_program(RK_MINGW_${rk_var} NAMES ${RK_MINGW_BINUTILS}${rk_tool} ${RK_MINGW_BINUTILS}${rk_tool}-14
               NO_CMAKE_FIND_ROOT_PATH REQUIRED)
endforeach()
set(CMAKE_RC_COMPILER "${RK_MINGW_WINDRES}")
set(CMAKE_DLLTOOL "${RK_MINGW_DLLTOOL}")
set(CMAKE_OBJDUMP "${RK_MINGW_OBJDUMP}")
if(RK_MINGW_BINUTILS STREQUAL "llvm-")
  # LLVM's windres serves every target: it is told which, and where the
  # headers are.
  set(CMAKE_RC_FLAGS_INIT "--target=${RK_MINGW_TRIPLE} -I ${RK_MINGW_SYSROOT}/include")
endif()

# GCC's own folder holds libstdc++'s headers, libstdc++, libgcc and libssp.
# Debian installs it twice, VERSION-posix and VERSION-win32; clang recognises
# neither name, so it is named here: the newest -posix one. The sysroot keeps
# the host's headers out.
if(NOT DEFINED RK_MINGW_GCC_DIR)
  file(GLOB rk_gcc_dirs LIST_DIRECTORIES true "/usr/lib/gcc/${RK_MINGW_GCC_TRIPLE}/*-posix")
  list(SORT rk_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
  list(GET rk_gcc_dirs 0 RK_MINGW_GCC_DIR)
  if(NOT IS_DIRECTORY "${RK_MINGW_GCC_DIR}/include/c++")
    message(FATAL_ERROR "no libstdc++ for ${RK_MINGW_GCC_TRIPLE} under /usr/lib/gcc/${RK_MINGW_GCC_TRIPLE}/*-posix: "
                        "install g++-mingw-w64 (scripts/install-deps.sh --windows)")
  endif()
endif()

# Every binary: CodeView debug information and, with a runtime, the stack
# protector (its guard and failure handler come from libssp: MinGW-w64 10's
# runtime has neither; without one, the library brings its own and turns the
# protector on for its own code, src/CMakeLists.txt).
# The debug information names the compiler's folder ".", not the build's:
# the PDB's GUID is a hash of its contents and the DLL holds that GUID, so
# the build's folder would otherwise reach the DLL.
set(rk_compile "-gcodeview -ffile-compilation-dir=.")
if(RK_MINGW_NO_CRT)
  # char is signed on Windows on ARM (MSVC, the system's own ABI) as on x64,
  # but clang 14 makes it unsigned for aarch64-w64-mingw32: a byte above
  # 0x7F must read the same in the ARM64 DLL as in the x64 one.
  string(APPEND rk_compile " -D__USE_MINGW_ANSI_STDIO=0 -fsigned-char")
else()
  string(APPEND rk_compile " -fstack-protector-strong")
endif()
set(CMAKE_C_FLAGS_INIT "${rk_compile}")
set(CMAKE_CXX_FLAGS_INIT "${rk_compile}")
if(RK_MINGW_NO_CRT)
  string(APPEND CMAKE_CXX_FLAGS_INIT " -fno-exceptions -fno-rtti")
endif()
set(rk_gcc_link "")
if(RK_MINGW_GCC_DIR)
  set(rk_cxx "${RK_MINGW_GCC_DIR}/include/c++")
  string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${rk_cxx} -isystem ${rk_cxx}/${RK_MINGW_GCC_TRIPLE} -isystem ${rk_cxx}/backward")
  if(NOT RK_MINGW_NO_CRT)
    set(rk_gcc_link "-B${RK_MINGW_GCC_DIR} -L${RK_MINGW_GCC_DIR} -lssp -lpthread")
  endif()
endif()

# Linking with lld, the runtimes static (a driver's helper DLL cannot ship
# libstdc++, libgcc or winpthread beside it; lld takes archives in any
# order), or none at all. Every DLL and program gets a PDB beside it; the
# debug directory names it without its folder, the PDB gives its objects'
# folders from a fixed root, and the PE timestamp is a hash of the contents,
# so two builds in different folders write the same bytes. lld sets ASLR
# (high-entropy on 64-bit) and DEP by default in MinGW mode.
# GCC's crtbegin.o and crtend.o come first (-B), not MinGW-w64's: on x86,
# where libgcc unwinds with DWARF tables, GCC's register the program's
# .eh_frame with the unwinder, without which no C++ exception is caught.
# CMake hands the link the compile flags too, which clang would warn about.
if(RK_MINGW_NO_CRT)
  set(rk_runtime "-nostdlib")
else()
  set(rk_runtime "-static ${rk_gcc_link}")
endif()
set(rk_link "-Wno-unused-command-line-argument -fuse-ld=lld ${rk_runtime} -Wl,--pdb= -Wl,--Xlink=-pdbaltpath:%_PDB% -Wl,--Xlink=-Brepro -Wl,--Xlink=-pdbsourcepath:C:/rkvtps32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${rk_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${rk_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${rk_link}")

if(RK_MINGW_NO_CRT)
  # No runtime to link a test program with: the compiler checks build a
  # library. Every program links the system DLLs it may call, from the
  # import libraries the project makes.
  set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
  set(CMAKE_C_STANDARD_LIBRARIES "-lmsvcrt -lkernel32" CACHE STRING "")
  set(CMAKE_CXX_STANDARD_LIBRARIES "-lmsvcrt -lkernel32" CACHE STRING "")
  set(RKVTPS32_WINDOWS_NO_CRT ON)
endif()

set(CMAKE_FIND_ROOT_PATH "${RK_MINGW_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh")
