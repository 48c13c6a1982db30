# Command-line tokenizer.
z_add_gtest(tokenizer_test ${CMAKE_CURRENT_LIST_DIR}/tokenizer_test.cpp)
