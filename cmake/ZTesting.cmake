# Test helpers shared by every tests/ folder.
enable_testing()

if(WIN32)
  # GoogleTest cross-built from Debian's sources.
  if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()
  set(Z_GTEST_LIBS gtest gmock)
  # One Wine prefix per build folder: prepared before the first test (inside the test run's display),
  # its server ended after the last.
  add_test(NAME wine_prefix_init COMMAND ${CMAKE_BINARY_DIR}/wine-run --start)
  set_tests_properties(wine_prefix_init PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
  add_test(NAME wine_prefix_kill COMMAND ${CMAKE_BINARY_DIR}/wine-run --stop)
  set_tests_properties(wine_prefix_kill PROPERTIES FIXTURES_CLEANUP wine)
else()
  find_package(GTest REQUIRED)
  set(Z_GTEST_LIBS GTest::gtest GTest::gmock)
endif()

# z_add_gtest(NAME src... [LIBS lib...]): one GoogleTest program, one ctest entry.
# Under the cross build CMake runs it through the Wine emulator.
function(z_add_gtest name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE zcore ${ARG_LIBS} ${Z_GTEST_LIBS})
  if(NOT WIN32)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  else()
    target_link_libraries(${name} PRIVATE gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE Z_TEST_SOURCE_DIR="${Z_ROOT}" Z_TEST_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
