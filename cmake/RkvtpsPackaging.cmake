# Installation: header, library (and the import library and .def on
# Windows; the static library elsewhere), a CMake package giving
# rkvtps32::rkvtps32 (and rkvtps32::rkvtps32_static), and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS rkvtps32 EXPORT rkvtps32Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES "${PROJECT_SOURCE_DIR}/include/rkvtps32.h" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(WIN32)
  install(FILES "${RKVTPS32_DEF_FILE}" DESTINATION ${CMAKE_INSTALL_LIBDIR} RENAME rkvtps32.def)
  if(RKVTPS32_MSVC_LIB)
    install(FILES "${RKVTPS32_MSVC_LIB}" DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
  # The PDB beside the DLL, where a debugger looks first (clang and lld
  # write it; a GCC build has none).
  install(FILES "$<TARGET_FILE_DIR:rkvtps32>/$<TARGET_FILE_BASE_NAME:rkvtps32>.pdb"
          DESTINATION ${CMAKE_INSTALL_BINDIR} OPTIONAL)
endif()

set(rk_cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/rkvtps32")
install(EXPORT rkvtps32Targets NAMESPACE rkvtps32:: DESTINATION "${rk_cmake_dir}")
set(RKVTPS32_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
# The static library has an export set of its own, so the package file
# can tell whether it was installed (component "static").
if(TARGET rkvtps32_static)
  install(TARGETS rkvtps32_static EXPORT rkvtps32StaticTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(EXPORT rkvtps32StaticTargets NAMESPACE rkvtps32:: DESTINATION "${rk_cmake_dir}")
endif()
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/rkvtps32Config.cmake.in"
  "${CMAKE_BINARY_DIR}/rkvtps32Config.cmake" INSTALL_DESTINATION "${rk_cmake_dir}"
  PATH_VARS RKVTPS32_INSTALL_LIBDIR)
write_basic_package_version_file("${CMAKE_BINARY_DIR}/rkvtps32ConfigVersion.cmake"
  VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
  COMPATIBILITY SameMajorVersion)
install(FILES "${CMAKE_BINARY_DIR}/rkvtps32Config.cmake"
              "${CMAKE_BINARY_DIR}/rkvtps32ConfigVersion.cmake"
        DESTINATION "${rk_cmake_dir}")

# pkg-config. Installed into the system's prefix (/usr, as Debian's package
# does) the file names its prefix as it is, so pkgconf recognises the
# system folders and leaves -I/usr/include and -L/usr/lib/<multiarch> off
# every consumer's command line, as zlib's and libdeflate's do. Any other
# prefix (/usr/local, /opt, the Windows archive) may be moved: there the
# file finds the prefix from its own place, the way up as deep as the real
# libdir (lib, or lib/x86_64-linux-gnu).
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(RK_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH rk_up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" rk_up "${rk_up}")
  set(RK_PC_PREFIX "\${pcfiledir}/${rk_up}")
endif()
# A program that links librkvtps32.a (pkg-config --static) needs the C++
# run-time library; the shared library brings its own.
set(RK_PC_LIBS_PRIVATE "")
if(TARGET rkvtps32_static)
  set(RK_PC_LIBS_PRIVATE "-lstdc++")
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/rkvtps32.pc.in" "${CMAKE_BINARY_DIR}/rkvtps32.pc" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/rkvtps32.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

# The man pages: the tool's, the filter's (where it is built) and the C
# API's, written by hand in man/.
if(NOT WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/man/rkvtps32.3" DESTINATION ${CMAKE_INSTALL_MANDIR}/man3)
endif()

# ---- The Windows archive ------------------------------------------------------
# scripts/package-windows.sh assembles it with CPack (ZIP) from both DLL
# builds; a short README goes in. Debian packages come from debian/.
if(WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/README-windows.txt" DESTINATION . RENAME README.txt)
endif()

set(CPACK_PACKAGE_NAME rkvtps32)
set(CPACK_PACKAGE_VENDOR "rkvtps32 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_COMPONENTS_ALL Unspecified)  # the debug information stays apart
set(CPACK_GENERATOR ZIP)
include(CPack)
