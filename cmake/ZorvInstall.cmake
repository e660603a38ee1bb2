include(CMakePackageConfigHelpers)

install(TARGETS zorvsupport EXPORT zorvsupportTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# Public headers only, chosen when installing (see ZorvInstallHeaders.cmake).
install(CODE "set(ZORV_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")
set(ZORV_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/ZorvInstallHeaders.cmake)
install(EXPORT zorvsupportTargets NAMESPACE zorvsupport::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zorvsupport)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/zorvsupportConfig.cmake.in
  ${PROJECT_BINARY_DIR}/zorvsupportConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zorvsupport)
# Compatible within one minor version, like the SONAME (libzorvsupport.so.3.13)
# and the versioned namespace.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/zorvsupportConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/zorvsupportConfig.cmake
              ${PROJECT_BINARY_DIR}/zorvsupportConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/zorvsupport)

# The pkg-config file finds its prefix from its own place, so an installed
# tree can be moved or installed with --prefix other than the configured one.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(ZORV_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH ZORV_PC_UP "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
  string(REGEX REPLACE "/$" "" ZORV_PC_UP "${ZORV_PC_UP}")
  set(ZORV_PC_PREFIX "\${pcfiledir}/${ZORV_PC_UP}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/zorvsupport.pc.in
  ${PROJECT_BINARY_DIR}/zorvsupport.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zorvsupport.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
