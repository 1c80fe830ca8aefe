# cmake --install: the three libraries, the filter library and the two
# platform stand-ins they load, with versioned file names and SONAMEs; the
# public C and C++ headers and the version header; the CMake package
# ZtEventLoggerVdl with short imported targets (ZtEventLoggerVdl::Api,
# ::Proxy, ::ProxyC, ::Filter; ::PalDrvIf and ::Mrx beside them); one
# pkg-config file per library and one for all; the simulator as a program
# (the tool installs itself and its demo data from tools/).
include(CMakePackageConfigHelpers)

# target|short name|pkg-config name|description|pkg-config Requires|(unused)|Cflags beyond -I
set(zt_libraries
  "ZtPalDrvIf|PalDrvIf|ZtPalDrvIf|Platform stand-in: threads, events, waits, interlocked operations|||"
  "CRVXVdlMrx|Mrx|CRVXVdlMrx|Router client stand-in: a port on the message router over TCP|||"
  "ZtEventLoggerVdlApi_2.1|Api|ZtEventLoggerVdlApi|Router adapter, device notifications and target access|CRVXVdlMrx||-std=c++20"
  "ZtEventLoggerVdlProxy_2.1|Proxy|ZtEventLoggerVdlProxy|Event logger client: alarms, messages, the event log and texts|ZtPalDrvIf||-std=c++20"
  "ZtEventLoggerVdlFilter_2.1|Filter|ZtEventLoggerVdlFilter|Filter and export-settings components of the event logger|ZtEventLoggerVdlProxy||-std=c++20"
  "ZtEventLoggerVdlProxyC_2.1|ProxyC|ZtEventLoggerVdlProxyC|Flat C binding of the event logger client|||")

# The .pc files find the prefix from where they lie, so a tree installed
# with --prefix (or moved) still gives the right paths.
file(RELATIVE_PATH ZT_PC_PREFIX_REL "/zt/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/zt")

set(ZT_INSTALL_TARGETS)
set(zt_pc_all)
foreach(row IN LISTS zt_libraries)
  set(entry "${row}")
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 target)
  if(NOT TARGET ${target})
    continue()
  endif()
  list(GET entry 1 short)
  list(GET entry 2 pcname)
  list(GET entry 3 description)
  list(GET entry 4 requires)
  list(GET entry 6 cflags)
  list(APPEND ZT_INSTALL_TARGETS ${target})
  # libX.so -> libX.so.2 (the SONAME) -> libX.so.2.1.0: a host built against
  # 2.1 keeps loading any later 2.x, never a 3.
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    EXPORT_NAME ${short}
    INSTALL_RPATH "$ORIGIN")
  if(NOT TARGET ZtEventLoggerVdl::${short})
    add_library(ZtEventLoggerVdl::${short} ALIAS ${target})
  endif()
  set(ZT_PC_NAME ${pcname})
  set(ZT_PC_DESCRIPTION "${description}")
  set(ZT_PC_REQUIRES "${requires}")
  set(ZT_PC_LIB ${target})
  set(ZT_PC_CFLAGS "${cflags}")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/ZtLibrary.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/${pcname}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/${pcname}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  if(NOT short STREQUAL "PalDrvIf" AND NOT short STREQUAL "Mrx")
    list(APPEND zt_pc_all ${pcname})
  endif()
endforeach()

# A host that links Filter uses the runtime of Proxy through its headers.
if(TARGET ZtEventLoggerVdlFilter_2.1 AND TARGET ZtEventLoggerVdlProxy_2.1)
  target_link_libraries(ZtEventLoggerVdlFilter_2.1 INTERFACE ZtEventLoggerVdlProxy_2.1)
endif()

install(TARGETS ${ZT_INSTALL_TARGETS}
  EXPORT ZtEventLoggerVdlTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

get_property(zt_public_header_dirs GLOBAL PROPERTY ZT_PUBLIC_HEADER_DIRS)
list(REMOVE_DUPLICATES zt_public_header_dirs)
foreach(dir IN LISTS zt_public_header_dirs)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    FILES_MATCHING PATTERN "*.h")
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/include/ZtEventLoggerVdlVersion.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# The simulated controller, for trying a host without a controller.
if(TARGET zt-target-sim)
  install(TARGETS zt-target-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT ZtEventLoggerVdlTargets
  NAMESPACE ZtEventLoggerVdl::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZtEventLoggerVdl)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ZtEventLoggerVdlConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZtEventLoggerVdl)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/ZtEventLoggerVdlConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/ZtEventLoggerVdl)

# ZtEventLoggerVdl.pc: every library at once.
list(JOIN zt_pc_all " " ZT_PC_REQUIRES_ALL)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ZtEventLoggerVdl.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/ZtEventLoggerVdl.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/ZtEventLoggerVdl.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
