# Packed-file trailer check and entry walk on real packed files written by zpackwriter; the zpack
# tool's commands in-process, and the sample packed file of the build.
if(TARGET zpackwriter)
  z_add_gtest(packed_file_test ${CMAKE_CURRENT_LIST_DIR}/packed_file_test.cpp LIBS zpackwriter)
  z_add_gtest(packed_file_zpack_test ${CMAKE_CURRENT_LIST_DIR}/packed_file_zpack_test.cpp LIBS zpacktool)
  add_dependencies(packed_file_zpack_test zsample)
endif()
