# The images kept compressed among the program's resources, unpacked as the program does.
if(TARGET zpackimage)
  z_add_gtest(packed_image_test ${CMAKE_CURRENT_LIST_DIR}/packed_image_test.cpp LIBS zpackimage)
endif()
