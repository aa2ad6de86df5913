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
endif()

set(rk_cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/rkvtps32")
install(EXPORT rkvtps32Targets NAMESPACE rkvtps32:: DESTINATION "${rk_cmake_dir}")
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/rkvtps32Config.cmake.in"
  "${CMAKE_BINARY_DIR}/rkvtps32Config.cmake" INSTALL_DESTINATION "${rk_cmake_dir}")
write_basic_package_version_file("${CMAKE_BINARY_DIR}/rkvtps32ConfigVersion.cmake"
  VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}
  COMPATIBILITY SameMajorVersion)
install(FILES "${CMAKE_BINARY_DIR}/rkvtps32Config.cmake"
              "${CMAKE_BINARY_DIR}/rkvtps32ConfigVersion.cmake"
        DESTINATION "${rk_cmake_dir}")

configure_file("${PROJECT_SOURCE_DIR}/cmake/rkvtps32.pc.in" "${CMAKE_BINARY_DIR}/rkvtps32.pc" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/rkvtps32.pc" DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
