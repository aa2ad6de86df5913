# Installation: header, library (and the import library and .def on
# Windows), a CMake package giving rkvtps32::rkvtps32, and a pkg-config file.
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
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/rkvtps32Config.cmake.in"
  "${CMAKE_BINARY_DIR}/rkvtps32Config.cmake" INSTALL_DESTINATION "${rk_cmake_dir}"
  PATH_VARS RKVTPS32_INSTALL_LIBDIR)
write_basic_package_version_file("${CMAKE_BINARY_DIR}/rkvtps32ConfigVersion.cmake"
  VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
  COMPATIBILITY SameMajorVersion)
install(FILES "${CMAKE_BINARY_DIR}/rkvtps32Config.cmake"
              "${CMAKE_BINARY_DIR}/rkvtps32ConfigVersion.cmake"
        DESTINATION "${rk_cmake_dir}")

# The pkg-config file finds the prefix from its own place, so the tree can
# move; the way up is as deep as the real libdir (lib, or
# lib/x86_64-linux-gnu on Debian).
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(RK_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH rk_up "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" rk_up "${rk_up}")
  set(RK_PC_PREFIX "\${pcfiledir}/${rk_up}")
endif()
configure_file("${PROJECT_SOURCE_DIR}/cmake/rkvtps32.pc.in" "${CMAKE_BINARY_DIR}/rkvtps32.pc" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/rkvtps32.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

# ---- Release packages ---------------------------------------------------------
# A Debian package from a build configured for the system (prefix /usr), and
# on Windows a short README for the archive that scripts/package-windows.sh
# assembles from both DLL builds.
if(WIN32)
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/README-windows.txt" DESTINATION . RENAME README.txt)
else()
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # Debian wants the changelog compressed, and the same bytes every time.
  set(rk_changelog "${CMAKE_BINARY_DIR}/changelog.Debian.gz")
  execute_process(COMMAND gzip -9 -n -c "${PROJECT_SOURCE_DIR}/packaging/changelog"
                  OUTPUT_FILE "${rk_changelog}")
  install(FILES "${rk_changelog}" DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME rkvtps32)
set(CPACK_PACKAGE_VENDOR "rkvtps32 developers")
set(RKVTPS32_MAINTAINER "rkvtps32 developers <rkvtps32@example.org>" CACHE STRING
    "The Maintainer of the Debian package")
set(CPACK_PACKAGE_CONTACT "${RKVTPS32_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "The rkvtps32 library gives a printer driver the job-control command
strings (job owner, client name, host address, N-up) it puts in front of a
print job, with the rkvtps command-line tool, the C header and the CMake
and pkg-config files to build against it.")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_COMPONENTS_ALL Unspecified)  # the debug information stays apart
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The dynamic linker's cache is refreshed by a trigger, as Debian asks.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PROJECT_SOURCE_DIR}/packaging/triggers")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
