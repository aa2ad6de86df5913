# A consumer built as a Windows driver is: MSVC's toolchain conventions
# (clang-cl, lld-link, .lib import libraries), here without a Windows SDK
# or C runtime, so the program brings its own kernel32 import library and
# entry point. RK_MSVC_ARCH is x64, x86 or arm64.
set(CMAKE_SYSTEM_NAME Windows)
# The compiler checks read the architecture too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RK_MSVC_ARCH)
if(RK_MSVC_ARCH STREQUAL "x86")
  set(CMAKE_SYSTEM_PROCESSOR X86)
  set(CMAKE_C_COMPILER_TARGET i686-pc-windows-msvc)
elseif(RK_MSVC_ARCH STREQUAL "arm64")
  set(CMAKE_SYSTEM_PROCESSOR ARM64)
  set(CMAKE_C_COMPILER_TARGET aarch64-pc-windows-msvc)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
  set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
endif()
find_program(CMAKE_C_COMPILER NAMES clang-cl clang-cl-14 REQUIRED)
find_program(CMAKE_LINKER NAMES lld-link lld-link-14 REQUIRED)
find_program(CMAKE_AR NAMES llvm-lib llvm-lib-14 REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES llvm-rc llvm-rc-14 REQUIRED)
find_program(CMAKE_MT NAMES llvm-mt llvm-mt-14 REQUIRED)
# No C runtime: the compiler checks cannot link a program, the compiler
# must not call the runtime (stack cookies, probes, library built-ins), and
# no runtime library is linked by default.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_C_FLAGS_INIT "/GS- /clang:-ffreestanding /clang:-mno-stack-arg-probe")
set(CMAKE_EXE_LINKER_FLAGS_INIT "/nodefaultlib /manifest:no")
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
