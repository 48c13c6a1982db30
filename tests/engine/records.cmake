# Archive directory records: batching, path rewriting, top-level test, merge.
z_add_gtest(records_test ${CMAKE_CURRENT_LIST_DIR}/records_test.cpp)
