# Shared build settings and helpers for every folder of the project.

add_compile_options(-Wall -Wextra)

if(ZT_BUILD_FUZZ)
  # Coverage instrumentation everywhere; only fuzz targets link the fuzzer main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ZT_SANITIZE)
  add_compile_options(-fsanitize=${ZT_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${ZT_SANITIZE})
endif()

# zt_library_exports(<target> <version-script>)
# Restricts the dynamic symbol table of a shared library to the patterns of
# its version script; everything else stays local even when a header
# (libstdc++ templates, for instance) asks for default visibility.
function(zt_library_exports target script)
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${script}"
    "LINKER:--exclude-libs,ALL")
  # Sanitizer runtimes of some compilers are linked into executables only, so
  # shared libraries are checked for undefined symbols in plain builds alone.
  if(NOT ZT_SANITIZE AND NOT ZT_BUILD_FUZZ)
    target_link_options(${target} PRIVATE "LINKER:--no-undefined")
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# Internal code of each subsystem is built once as a CMake OBJECT library
# (zt_runtime, zt_model, ...). A shared library links the object libraries of
# its subsystems directly and so contains all their objects; a test links the
# same object libraries (each one it needs, directly: objects do not pass on
# transitively, usage requirements do) and reaches hidden internals without
# any extra export.

# Test executables that run under ThreadSanitizer in CI are collected here.
set_property(GLOBAL PROPERTY ZT_CONCURRENCY_TESTS "")

# zt_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [CONCURRENCY] [TIMEOUT s])
# One GoogleTest executable, registered with CTest. CONCURRENCY marks tests
# that CI also runs under ThreadSanitizer.
function(zt_add_test name)
  cmake_parse_arguments(T "CONCURRENCY" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  set(labels ${T_LABELS})
  if(T_CONCURRENCY)
    list(APPEND labels concurrency)
    set_property(GLOBAL APPEND PROPERTY ZT_CONCURRENCY_TESTS ${name})
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}")
endfunction()

# zt_public_headers(<dir>): the folder's *.h files are installed as public headers.
function(zt_public_headers dir)
  set_property(GLOBAL APPEND PROPERTY ZT_PUBLIC_HEADER_DIRS ${dir})
endfunction()

# zt_add_c_test(<name> SOURCES ... [SIM] [TIME_SCALE x] [CONCURRENCY] [LABELS ...] [TIMEOUT s])
# A test program written in C (tests/c/...), linked with the C binding only,
# registered with CTest; it passes when it exits with 0. SIM runs it under
# zt-sim-run against the simulated demo machine (scenario playing,
# TIME_SCALE 0.25 unless given).
set(ZT_SIM_SCENARIO ${PROJECT_SOURCE_DIR}/sim/scenarios/demo_machine.json)
set(ZT_SIM_RESOURCES ${PROJECT_SOURCE_DIR}/sim/data/demo_machine.resources.json)
function(zt_add_c_test name)
  cmake_parse_arguments(T "SIM;CONCURRENCY" "TIMEOUT;TIME_SCALE" "SOURCES;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ZtEventLoggerVdlProxyC_2.1 Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/c)
  zt_add_program_test(${name} ${name} ${ARGN})
endfunction()

# zt_add_program_test(<test name> <executable target> [SIM] [TIME_SCALE x] [CONCURRENCY] [ARGS ...]
#                     [LABELS ...] [TIMEOUT s])
# Registers a run of a program (a C test, an example) with CTest.
function(zt_add_program_test name target)
  cmake_parse_arguments(T "SIM;CONCURRENCY" "TIMEOUT;TIME_SCALE" "SOURCES;LABELS;ARGS" ${ARGN})
  set(labels c ${T_LABELS})
  if(T_CONCURRENCY)
    list(APPEND labels concurrency)
    set_property(GLOBAL APPEND PROPERTY ZT_CONCURRENCY_TESTS ${target})
  endif()
  if(T_SIM)
    if(NOT T_TIME_SCALE)
      set(T_TIME_SCALE 0.25)
    endif()
    add_test(NAME ${name} COMMAND zt-sim-run --scenario ${ZT_SIM_SCENARIO} --resources ${ZT_SIM_RESOURCES}
             --time-scale ${T_TIME_SCALE} -- $<TARGET_FILE:${target}> ${T_ARGS})
    if(T_CONCURRENCY)
      set_property(GLOBAL APPEND PROPERTY ZT_CONCURRENCY_TESTS zt-sim-run)
    endif()
  else()
    add_test(NAME ${name} COMMAND ${target} ${T_ARGS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${labels}")
endfunction()
