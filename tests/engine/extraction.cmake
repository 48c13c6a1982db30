# Entry extraction over packed files made with the project's packed-file writer.
if(TARGET zpackwriter)
  z_add_gtest(extraction_test ${CMAKE_CURRENT_LIST_DIR}/extraction_test.cpp LIBS zpackwriter)
endif()
