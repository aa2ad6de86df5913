# Windows builds in LLVM's MinGW mode: Debian's clang and lld, Debian's
# MinGW-w64 headers and C runtime (/usr/TRIPLE), and the libstdc++ and libgcc
# of g++-mingw-w64-ARCH-posix, whose winpthread threads give std::mutex
# (GoogleTest needs it; the -win32 flavour has none). clang writes CodeView
# and lld a PDB, which GCC and GNU ld cannot; a debugger on Windows reads
# nothing else.
#
# Included by a thin file per architecture that sets RK_MINGW_TRIPLE (and
# CMAKE_SYSTEM_PROCESSOR). It may also set:
#   RK_MINGW_BINUTILS  the prefix of the GNU binutils the build still calls
#                      (windres, dlltool, objdump); default the triple's,
#                      "llvm-" takes LLVM's where a triple has no binutils;
#   RK_MINGW_SYSROOT   the MinGW-w64 headers and runtime; default /usr/TRIPLE;
#   RK_MINGW_GCC_DIR   GCC's folder with libstdc++, libgcc and libssp;
#                      default the newest /usr/lib/gcc/TRIPLE/*-posix, and
#                      empty for a sysroot that brings its own C++ runtime.
if(NOT RK_MINGW_TRIPLE)
  message(FATAL_ERROR "RK_MINGW_TRIPLE is not set: include llvm-mingw.cmake from an architecture's toolchain file")
endif()
if(NOT DEFINED RK_MINGW_BINUTILS)
  set(RK_MINGW_BINUTILS "${RK_MINGW_TRIPLE}-")
endif()
if(NOT DEFINED RK_MINGW_SYSROOT)
  set(RK_MINGW_SYSROOT /usr/${RK_MINGW_TRIPLE})
endif()
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${RK_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${RK_MINGW_TRIPLE})
set(CMAKE_SYSROOT "${RK_MINGW_SYSROOT}")
set(CMAKE_RC_COMPILER ${RK_MINGW_BINUTILS}windres)
set(CMAKE_DLLTOOL ${RK_MINGW_BINUTILS}dlltool)
set(CMAKE_OBJDUMP ${RK_MINGW_BINUTILS}objdump)

# GCC's own folder holds libstdc++'s headers, libstdc++, libgcc and libssp.
# Debian installs it twice, VERSION-posix and VERSION-win32; clang recognises
# neither name, so it is named here: the newest -posix one. The sysroot keeps
# the host's headers out.
if(NOT DEFINED RK_MINGW_GCC_DIR)
  file(GLOB rk_gcc_dirs LIST_DIRECTORIES true "/usr/lib/gcc/${RK_MINGW_TRIPLE}/*-posix")
  list(SORT rk_gcc_dirs COMPARE NATURAL ORDER DESCENDING)
  list(GET rk_gcc_dirs 0 RK_MINGW_GCC_DIR)
  if(NOT IS_DIRECTORY "${RK_MINGW_GCC_DIR}/include/c++")
    message(FATAL_ERROR "no libstdc++ for ${RK_MINGW_TRIPLE} under /usr/lib/gcc/${RK_MINGW_TRIPLE}/*-posix: "
                        "install g++-mingw-w64 (scripts/install-deps.sh --windows)")
  endif()
endif()

# Every binary: CodeView debug information, the stack protector (its guard
# and failure handler come from libssp: MinGW-w64 10's runtime has neither).
# The debug information names the compiler's folder ".", not the build's:
# the PDB's GUID is a hash of its contents and the DLL holds that GUID, so
# the build's folder would otherwise reach the DLL.
set(rk_compile "-gcodeview -fstack-protector-strong -ffile-compilation-dir=.")
set(CMAKE_C_FLAGS_INIT "${rk_compile}")
set(CMAKE_CXX_FLAGS_INIT "${rk_compile}")
set(rk_gcc_link "")
if(RK_MINGW_GCC_DIR)
  set(rk_cxx "${RK_MINGW_GCC_DIR}/include/c++")
  string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${rk_cxx} -isystem ${rk_cxx}/${RK_MINGW_TRIPLE} -isystem ${rk_cxx}/backward")
  set(rk_gcc_link "-B${RK_MINGW_GCC_DIR} -L${RK_MINGW_GCC_DIR} -lssp -lpthread")
endif()

# Linking with lld, the runtimes static (a driver's helper DLL cannot ship
# libstdc++, libgcc or winpthread beside it; lld takes archives in any
# order). Every DLL and program gets a PDB beside it; the debug directory
# names it without its folder, the PDB gives its objects' folders from a
# fixed root, and the PE timestamp is a hash of the contents, so two builds
# in different folders write the same bytes.
# GCC's crtbegin.o and crtend.o come first (-B), not MinGW-w64's: on x86,
# where libgcc unwinds with DWARF tables, GCC's register the program's
# .eh_frame with the unwinder, without which no C++ exception is caught.
# CMake hands the link the compile flags too, which clang would warn about.
set(rk_link "-Wno-unused-command-line-argument -fuse-ld=lld -static ${rk_gcc_link} -Wl,--pdb= -Wl,--Xlink=-pdbaltpath:%_PDB% -Wl,--Xlink=-Brepro -Wl,--Xlink=-pdbsourcepath:C:/rkvtps32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${rk_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${rk_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${rk_link}")

set(CMAKE_FIND_ROOT_PATH "${RK_MINGW_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../wine-run.sh")
