# zsiteid.dll against the test COM server, under Wine. Both DLLs are copied beside the test program,
# which loads them by name.
if(WIN32 AND TARGET zsiteid AND TARGET testcom)
  z_add_gtest(siteid_test ${CMAKE_CURRENT_LIST_DIR}/siteid_test.cpp LIBS ole32 oleaut32)
  target_include_directories(siteid_test PRIVATE ${Z_ROOT}/siteid ${Z_ROOT}/tools/testcom)
  add_dependencies(siteid_test zsiteid testcom)
  add_custom_command(TARGET siteid_test POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:zsiteid> $<TARGET_FILE:testcom>
            $<TARGET_FILE_DIR:siteid_test>)
endif()
