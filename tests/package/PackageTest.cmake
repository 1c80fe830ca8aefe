# Installs the build tree into a scratch prefix, builds the outside C++ and C
# hosts against it, once through the CMake package and once through
# pkg-config alone, and runs each against a simulated controller that plays
# the demo machine. Run by CTest as
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DSIM_RUN=... -P PackageTest.cmake
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR SIM_RUN CXX_COMPILER C_COMPILER)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "PackageTest.cmake needs -D${var}=...")
  endif()
endforeach()
set(here ${CMAKE_CURRENT_LIST_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok")
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
run("install into ${prefix}" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The C host needs the C binding's header; a tree without it builds the C++ host only.
set(hosts cpp)
if(EXISTS ${prefix}/include/ZtEventLoggerVdlProxyC/ZtEventLoggerVdlProxyC.h)
  list(APPEND hosts c)
else()
  message(STATUS "no C binding header installed: the C host is left out")
endif()

set(programs)
foreach(host IN LISTS hosts)
  # 1. CMake: find_package(ZtEventLoggerVdl) and the imported targets. The
  # project's list is kept as CMakeLists.host so the suite's own glob of
  # CMakeLists.txt files passes it by.
  set(project ${WORK_DIR}/${host}-source)
  file(MAKE_DIRECTORY ${project})
  file(GLOB sources ${here}/${host}/*.c ${here}/${host}/*.cpp)
  file(COPY ${sources} DESTINATION ${project})
  configure_file(${here}/${host}/CMakeLists.host ${project}/CMakeLists.txt COPYONLY)
  run("configure the ${host} host with CMake" ${CMAKE_COMMAND} -S ${project} -B ${WORK_DIR}/${host}-cmake
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release
      -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_C_COMPILER=${C_COMPILER})
  run("build the ${host} host with CMake" ${CMAKE_COMMAND} --build ${WORK_DIR}/${host}-cmake)
  # 2. pkg-config: flags from the installed .pc files, nothing else.
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  if(host STREQUAL "cpp")
    set(modules ZtEventLoggerVdlApi ZtEventLoggerVdlProxy ZtEventLoggerVdlFilter)
    set(compiler ${CXX_COMPILER})
    set(source ${here}/cpp/package_host.cpp)
    list(APPEND programs ${WORK_DIR}/cpp-cmake/package_host)
  else()
    set(modules ZtEventLoggerVdlProxyC)
    set(compiler ${C_COMPILER})
    set(source ${here}/c/package_host.c)
    list(APPEND programs ${WORK_DIR}/c-cmake/package_host_c)
  endif()
  run("pkg-config ${modules}" pkg-config --cflags --libs ${modules})
  string(STRIP "${last_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run("build the ${host} host with pkg-config" ${compiler} ${source} -o ${WORK_DIR}/${host}-pkgconfig ${flags}
      -Wl,-rpath,${prefix}/lib)
  list(APPEND programs ${WORK_DIR}/${host}-pkgconfig)
endforeach()

foreach(program IN LISTS programs)
  run("run ${program} against the simulator" ${SIM_RUN}
      --scenario ${SOURCE_DIR}/sim/scenarios/demo_machine.json
      --resources ${SOURCE_DIR}/sim/data/demo_machine.resources.json
      --time-scale 0.1 --timeout 60 -- ${program})
  message(STATUS "  ${last_output}")
endforeach()
