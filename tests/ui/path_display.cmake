# Path compaction; under Wine also the measuring of real controls.
z_add_gtest(path_display_test ${CMAKE_CURRENT_LIST_DIR}/path_display_test.cpp)
if(WIN32)
  z_add_gtest(count_fitting_chars_test ${CMAKE_CURRENT_LIST_DIR}/count_fitting_chars_win32_test.cpp LIBS zui)
endif()
