# User-interface tests under Wine on the X display of the test run (tools/run-tests.sh runs the win32
# ctest under xvfb-run): uidriver scripts against the real Zarpex32.exe, in a Wine prefix of their own.
# They take pictures into screenshots/. They show windows, so they run one at a time.
if(WIN32 AND TARGET Zarpex32 AND TARGET uidriver)
  set(z_gui_run ${CMAKE_CURRENT_LIST_DIR}/gui-run.sh)
  add_test(NAME gui_prefix COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} init)
  set_tests_properties(gui_prefix PROPERTIES FIXTURES_SETUP gui TIMEOUT 300 RUN_SERIAL TRUE)
  foreach(script gui_frame gui_options gui_unpack gui_cancel)
    add_test(NAME ${script} COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR}/${script}.txt)
    set_tests_properties(${script} PROPERTIES FIXTURES_REQUIRED gui TIMEOUT 300 RUN_SERIAL TRUE LABELS gui)
  endforeach()
endif()
