# Tagged text list of the archive directory records.
z_add_gtest(tag_list_test ${CMAKE_CURRENT_LIST_DIR}/tag_list_test.cpp)
