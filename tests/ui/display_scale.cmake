# Images and icons for each display scale, read from the program's own resources under Wine.
if(WIN32 AND TARGET zui)
  z_add_gtest(display_scale_test ${CMAKE_CURRENT_LIST_DIR}/display_scale_win32_test.cpp ${Z_ROOT}/ui/Zarpex32.rc LIBS zui)
endif()
