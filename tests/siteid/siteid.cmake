# zsiteid.dll against the test COM server, under Wine. The test program and copies of both DLLs sit
# in one folder, so the program loads them by name as a host would.
if(WIN32 AND TARGET zsiteid AND TARGET testcom)
  set(z_siteid_dir ${CMAKE_CURRENT_BINARY_DIR}/siteid_test)
  z_add_gtest(siteid_test ${CMAKE_CURRENT_LIST_DIR}/siteid_test.cpp LIBS ole32 oleaut32)
  target_include_directories(siteid_test PRIVATE ${Z_ROOT}/siteid ${Z_ROOT}/tools/testcom)
  set_target_properties(siteid_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${z_siteid_dir})
  add_custom_command(
    OUTPUT ${z_siteid_dir}/zsiteid.dll ${z_siteid_dir}/testcom.dll
    COMMAND ${CMAKE_COMMAND} -E make_directory ${z_siteid_dir}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:zsiteid> $<TARGET_FILE:testcom> ${z_siteid_dir}
    DEPENDS zsiteid testcom $<TARGET_FILE:zsiteid> $<TARGET_FILE:testcom>)
  add_custom_target(siteid_test_dlls ALL DEPENDS ${z_siteid_dir}/zsiteid.dll ${z_siteid_dir}/testcom.dll)
  add_dependencies(siteid_test siteid_test_dlls)
  # Judged by gtest's own summary as well: a crash under Wine's debugger may still exit with 0.
  set_tests_properties(siteid_test PROPERTIES
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]|Unhandled|unhandled exception")
endif()
