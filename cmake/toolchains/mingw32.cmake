# Windows x86 in LLVM's MinGW mode (see llvm-mingw.cmake).
set(RK_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include("${CMAKE_CURRENT_LIST_DIR}/llvm-mingw.cmake")
