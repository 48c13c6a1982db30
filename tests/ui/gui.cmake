# User-interface tests under Wine on the X display of the test run (tools/run-tests.sh runs the win32
# ctest under xvfb-run): uidriver scripts against the real Zarpex32.exe, in a Wine prefix of their own.
# They take pictures into screenshots/. They show windows, so they run one at a time.
if(WIN32 AND EXISTS ${Z_ROOT}/discovery/program_entry_win32.cpp AND TARGET uidriver)
  set(z_gui_run ${CMAKE_CURRENT_LIST_DIR}/gui-run.sh)
  add_test(NAME gui_prefix COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} init)
  set_tests_properties(gui_prefix PROPERTIES FIXTURES_SETUP gui TIMEOUT 300 RUN_SERIAL TRUE)
  add_test(NAME gui_prefix_stop COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} stop)
  set_tests_properties(gui_prefix_stop PROPERTIES FIXTURES_CLEANUP gui)
  foreach(script gui_frame gui_options gui_unpack gui_cancel gui_scale)
    add_test(NAME ${script} COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR}/${script}.txt)
    set_tests_properties(${script} PROPERTIES FIXTURES_REQUIRED gui TIMEOUT 300 RUN_SERIAL TRUE LABELS gui)
  endforeach()
  # A target with double-byte names under a Japanese system (ANSI 932), at 96 dots per inch.
  add_test(NAME gui_japanese COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR}/gui_japanese.txt)
  set_tests_properties(gui_japanese PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${CMAKE_BINARY_DIR}/locales"
                       FIXTURES_REQUIRED "gui;japanese_locale"
                       TIMEOUT 300 RUN_SERIAL TRUE LABELS gui)
  # The sheet at 150 % and 200 %, each scale in a prefix of its own (its LogPixels); the scripts
  # that drive jobs and questions run at 100 % only, their windows are the same at every scale.
  foreach(dpi 144 192)
    add_test(NAME gui_prefix_${dpi} COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} init ${dpi})
    set_tests_properties(gui_prefix_${dpi} PROPERTIES FIXTURES_SETUP gui${dpi} TIMEOUT 300 RUN_SERIAL TRUE)
    add_test(NAME gui_prefix_stop_${dpi} COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} stop ${dpi})
    set_tests_properties(gui_prefix_stop_${dpi} PROPERTIES FIXTURES_CLEANUP gui${dpi})
    add_test(NAME gui_scale_${dpi} COMMAND ${z_gui_run} ${CMAKE_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR}/gui_scale.txt ${dpi})
    set_tests_properties(gui_scale_${dpi} PROPERTIES FIXTURES_REQUIRED gui${dpi} TIMEOUT 300 RUN_SERIAL TRUE LABELS gui)
  endforeach()
endif()

# The sheet in the test's own process: system menu, questions, progress display (real windows).
if(WIN32 AND TARGET zui AND TARGET zuiprobe)
  z_add_gtest(gui_sheet_test ${CMAKE_CURRENT_LIST_DIR}/gui_sheet_test.cpp ${Z_ROOT}/ui/Zarpex32.rc LIBS zui zuiprobe zpackwriter)
  add_dependencies(gui_sheet_test Zarpex32)  # whose exports it calls
  # ShowPropertySheet runs once per program start: one process per sheet test.
  set_tests_properties(gui_sheet_test PROPERTIES RUN_SERIAL TRUE LABELS gui)
  add_test(NAME gui_sheet_test_plain COMMAND gui_sheet_test --gtest_filter=-SheetTest.*)
  foreach(case SystemMenuStartsWithTheAboutItemAndASeparator QuestionsShowTheirTextsAndWriteTheAnswers
               SpaceAndDriveQuestionsFormatTheirArguments OutputQuestionPassesTheButtonOnUnchanged
               ProgressReportsReachTheFieldsAndTheBar TheEndOfAJobShowsItsLastReports
               ManySmallEntriesReachThePageInFewWakeUpsWithTheSameEnd AGatheredReportIsDrawnAsOne
               TheDeletedBackupsPathIsFittedIntoItsField)
    add_test(NAME gui_sheet_${case} COMMAND gui_sheet_test --gtest_filter=SheetTest.${case})
    set_tests_properties(gui_sheet_${case} PROPERTIES RUN_SERIAL TRUE LABELS gui FIXTURES_REQUIRED wine TIMEOUT 120)
  endforeach()
  set_tests_properties(gui_sheet_test_plain PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120)
  set_tests_properties(gui_sheet_test PROPERTIES DISABLED TRUE)
endif()
