include(CMakePackageConfigHelpers)

install(TARGETS zorvsupport EXPORT zorvsupportTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/zorvsupport
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(EXPORT zorvsupportTargets NAMESPACE zorvsupport::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zorvsupport)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zorvsupportConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zorvsupportConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zorvsupport)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zorvsupportConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zorvsupportConfig.cmake
              ${PROJECT_BINARY_DIR}/zorvsupportConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zorvsupport)

configure_file(${PROJECT_SOURCE_DIR}/cmake/zorvsupport.pc.in
  ${PROJECT_BINARY_DIR}/zorvsupport.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zorvsupport.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
