# Installs the three libraries, the filter library, the two platform stand-ins they load, their
# public headers, a CMake package with a version file and pkg-config files.
include(CMakePackageConfigHelpers)

set(ZT_INSTALL_TARGETS)
foreach(t ZtPalDrvIf CRVXVdlMrx ZtEventLoggerVdlApi_2.1 ZtEventLoggerVdlProxy_2.1 ZtEventLoggerVdlProxyC_2.1
          ZtEventLoggerVdlFilter_2.1)
  if(TARGET ${t})
    list(APPEND ZT_INSTALL_TARGETS ${t})
  endif()
endforeach()

install(TARGETS ${ZT_INSTALL_TARGETS}
  EXPORT ZtEventLoggerVdlTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

get_property(zt_public_header_dirs GLOBAL PROPERTY ZT_PUBLIC_HEADER_DIRS)
foreach(dir IN LISTS zt_public_header_dirs)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")
endforeach()

install(EXPORT ZtEventLoggerVdlTargets
  NAMESPACE ZtEventLoggerVdl::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZtEventLoggerVdl)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZtEventLoggerVdlConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZtEventLoggerVdl)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZtEventLoggerVdl)

configure_file(${CMAKE_CURRENT_LIST_DIR}/ZtEventLoggerVdl.pc.in
  ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdl.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdl.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
