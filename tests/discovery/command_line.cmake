# Mode decision and both command-line parsers.
if(WIN32)
  z_add_gtest(command_line_test ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp LIBS zui)
else()
  z_add_gtest(command_line_test ${CMAKE_CURRENT_LIST_DIR}/command_line_test.cpp)
endif()
