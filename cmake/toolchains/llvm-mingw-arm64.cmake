# Windows on ARM64 in LLVM's MinGW mode (see llvm-mingw.cmake). Debian has
# no MinGW runtime for aarch64 (no crt2.o, libmingwex, libmsvcrt or
# compiler-rt), and the DLL needs none: it is linked with no runtime at all,
# against the MinGW-w64 headers (mingw-w64-common) and LLVM's tools, and
# borrows only libstdc++'s headers from the x64 GCC.
set(RK_MINGW_TRIPLE aarch64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR ARM64)
set(RK_MINGW_BINUTILS llvm-)
set(RK_MINGW_SYSROOT /usr/share/mingw-w64)
set(RK_MINGW_GCC_TRIPLE x86_64-w64-mingw32)
set(RK_MINGW_NO_CRT ON)
include("${CMAKE_CURRENT_LIST_DIR}/llvm-mingw.cmake")
