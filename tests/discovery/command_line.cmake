# Mode decision and both command-line parsers.
z_add_gtest(command_line_test ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp)
