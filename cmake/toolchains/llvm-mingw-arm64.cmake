# Cross build for Windows on ARM64 with Debian's clang and lld in MinGW mode.
#
# Debian has no MinGW runtime for aarch64 (no crt2.o, libmingwex, libmsvcrt
# or compiler-rt), and the DLL needs none: nothing in it runs before or
# after its calls, and it uses only C string functions and Win32. So the
# programs link no runtime at all: import libraries made from the short
# lists in cmake/windows-imports (llvm-dlltool) stand in for the system
# DLLs, the DLL's entry point is its own DllMain, and the C test programs
# start from tests/windows/console_start.c. C++ is compiled without
# exceptions and RTTI and uses header-only parts of the standard library;
# those headers come from Debian's MinGW-w64 libstdc++ (the same headers on
# every MinGW CPU).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(rk_triple aarch64-w64-mingw32)

find_program(rk_clang NAMES clang clang-14 REQUIRED)
find_program(rk_clangxx NAMES clang++ clang++-14 REQUIRED)
set(CMAKE_C_COMPILER "${rk_clang}")
set(CMAKE_CXX_COMPILER "${rk_clangxx}")
set(CMAKE_C_COMPILER_TARGET ${rk_triple})
set(CMAKE_CXX_COMPILER_TARGET ${rk_triple})
find_program(CMAKE_RC_COMPILER NAMES llvm-windres llvm-windres-14 REQUIRED)
find_program(CMAKE_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
find_program(RK_LLVM_READOBJ NAMES llvm-readobj llvm-readobj-14 REQUIRED)
# The DLL's debug information goes to a PDB; there is nothing to split off.
set(CMAKE_OBJCOPY "" CACHE FILEPATH "" FORCE)

set(rk_mingw_include /usr/share/mingw-w64/include)
file(GLOB rk_libstdcxx LIST_DIRECTORIES true /usr/lib/gcc/x86_64-w64-mingw32/*-win32/include/c++)
list(SORT rk_libstdcxx COMPARE NATURAL ORDER DESCENDING)
list(GET rk_libstdcxx 0 rk_libstdcxx)

# stdio is msvcrt.dll's own: MinGW's C99 printf lives in libmingwex.
# char is signed on Windows on ARM (MSVC, the system's own ABI) as on x64,
# but clang 14 makes it unsigned for aarch64-w64-mingw32: a byte above 0x7F
# must read the same in the ARM64 DLL as in the x64 one.
set(rk_common "-isystem ${rk_mingw_include} -D__USE_MINGW_ANSI_STDIO=0 -fsigned-char -gcodeview")
set(CMAKE_C_FLAGS_INIT "${rk_common}")
set(CMAKE_CXX_FLAGS_INIT
    "-nostdinc++ -isystem ${rk_libstdcxx} -isystem ${rk_libstdcxx}/x86_64-w64-mingw32 ${rk_common} -fno-exceptions -fno-rtti")
set(CMAKE_RC_FLAGS_INIT "--target=${rk_triple} -I ${rk_mingw_include}")
# ASLR (with high-entropy addresses) and DEP, which Windows on ARM expects of
# every image; no time stamp, so that a build can be reproduced.
set(rk_link "-fuse-ld=lld -nostdlib -Wno-unused-command-line-argument -Wl,--no-insert-timestamp")
string(APPEND rk_link " -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${rk_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${rk_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${rk_link}")
# No runtime to link a test program with: the compiler checks build a library.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Every program links the system DLLs it may call, from the import
# libraries the project makes (RkvtpsWindowsImports.cmake).
set(CMAKE_C_STANDARD_LIBRARIES "-lmsvcrt -lkernel32" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lmsvcrt -lkernel32" CACHE STRING "")
set(RKVTPS32_WINDOWS_NO_CRT ON)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh")
