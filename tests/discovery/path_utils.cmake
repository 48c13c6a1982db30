# Path and string utilities.
z_add_gtest(path_utils_test ${CMAKE_CURRENT_LIST_DIR}/path_utils_test.cpp)
