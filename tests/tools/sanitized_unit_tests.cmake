# Builds the unit tests (the core, the POSIX services and their tests) with
# AddressSanitizer and UndefinedBehaviorSanitizer in a tree of their own
# (STEP=build), or runs them (STEP=run); any report of either fails the run.
#
#   cmake -DSTEP=build -DSOURCE_DIR=<source> -DBINARY_DIR=<tree> -DGENERATOR=<generator>
#         -DCXX=<c++ compiler> -DCC=<c compiler> -P sanitized_unit_tests.cmake
#   cmake -DSTEP=run -DBINARY_DIR=<tree> -P sanitized_unit_tests.cmake

if(STEP STREQUAL "run")
  # Leaks count as findings too; the first report of either sanitizer ends the run.
  set(ENV{ASAN_OPTIONS} "detect_leaks=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1")
  set(ENV{UBSAN_OPTIONS} "print_stacktrace=1:halt_on_error=1")
  execute_process(
    COMMAND ${BINARY_DIR}/tests/poremisu_unit_tests --gtest_brief=1
    RESULT_VARIABLE status TIMEOUT 400)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the sanitized unit tests failed (${status})")
  endif()
  message(STATUS "the sanitized unit tests passed without a report")
  return()
elseif(NOT STEP STREQUAL "build")
  message(FATAL_ERROR "STEP is build or run")
endif()

foreach(variable SOURCE_DIR BINARY_DIR GENERATOR CXX CC)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "${variable} is not set")
  endif()
endforeach()
file(MAKE_DIRECTORY ${BINARY_DIR})
cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)

execute_process(
  COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${BINARY_DIR} -G ${GENERATOR}
          -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_C_COMPILER=${CC}
          -DPOREMISU_SANITIZE=ON -DPOREMISU_TESTS=ON -DPOREMISU_BENCH=OFF
  RESULT_VARIABLE status OUTPUT_FILE ${BINARY_DIR}/configure.log ERROR_FILE ${BINARY_DIR}/configure.log)
if(NOT status EQUAL 0)
  file(READ ${BINARY_DIR}/configure.log log)
  message(FATAL_ERROR "configuring the sanitizer tree failed:\n${log}")
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BINARY_DIR} -j ${jobs} --target poremisu_unit_tests
  RESULT_VARIABLE status OUTPUT_FILE ${BINARY_DIR}/build.log ERROR_FILE ${BINARY_DIR}/build.log)
if(NOT status EQUAL 0)
  file(READ ${BINARY_DIR}/build.log log)
  message(FATAL_ERROR "building the sanitized unit tests failed:\n${log}")
endif()
