# The Windows build (cross-built with cmake/mingw-w64-x86_64.cmake): a static orvo.exe
# that needs no DLL beside it, and the unit and process tests, which run under Wine.

# Portable: any x86-64 processor with POPCNT (Intel since Nehalem, AMD since K10).
if(NOT ORVO_NATIVE)
  target_compile_options(orvo_core PUBLIC -march=x86-64 -mpopcnt)
endif()
# The main thread is search thread 0 and every thread gets the program's stack size:
# 8 MiB, as Linux gives.
target_link_options(orvo_core PUBLIC -static -Wl,--stack,8388608)
# winmm for timeBeginPeriod.
target_link_libraries(orvo_core PUBLIC winmm)

# GoogleTest is built for the target from the sources of Debian's googletest package.
set(ORVO_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${ORVO_GTEST_SOURCE}/CMakeLists.txt)
  message(STATUS "No GoogleTest sources in ${ORVO_GTEST_SOURCE} (package googletest): tests not built")
  return()
endif()
add_subdirectory(${ORVO_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Every test file but the POSIX-only ones: the process driver (replaced by the Windows
# one), the benchmark, command-path and fuzz-corpus tests, which redirect descriptors, and
# the install tests, which run shell command lines.
file(GLOB ORVO_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*.cpp)
list(REMOVE_ITEM ORVO_TEST_SOURCES ${CMAKE_SOURCE_DIR}/tests/engine_process.cpp
     ${CMAKE_SOURCE_DIR}/tests/benchmark_test.cpp ${CMAKE_SOURCE_DIR}/tests/command_path_test.cpp
     ${CMAKE_SOURCE_DIR}/tests/fuzz_corpus_test.cpp ${CMAKE_SOURCE_DIR}/tests/install_test.cpp)
add_executable(orvo_tests ${ORVO_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/windows/engine_process.cpp)
target_include_directories(orvo_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
# GoogleTest's headers count as system headers, as they do where the package installs them.
target_include_directories(orvo_tests SYSTEM PRIVATE ${ORVO_GTEST_SOURCE}/include)
target_link_libraries(orvo_tests PRIVATE orvo_core gtest gtest_main)
add_dependencies(orvo_tests orvo)
orvo_test_compile_options(orvo_tests)

# ctest runs each test under Wine; the tests are listed when ctest starts, so building
# needs no Wine.
enable_testing()
include(GoogleTest)
if(NOT CMAKE_CROSSCOMPILING_EMULATOR AND CMAKE_CROSSCOMPILING)
  find_program(ORVO_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(ORVO_WINE)
    set_target_properties(orvo_tests PROPERTIES CROSSCOMPILING_EMULATOR ${ORVO_WINE})
  endif()
endif()
gtest_discover_tests(orvo_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                     PROPERTIES TIMEOUT 300 ENVIRONMENT WINEDEBUG=-all)
