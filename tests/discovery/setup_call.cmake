# Setup-call mode through the real program: setuphost plays the setup program under Wine.
if(WIN32 AND EXISTS ${Z_ROOT}/discovery/program_entry_win32.cpp)
  z_add_gtest(setup_call_test ${CMAKE_CURRENT_LIST_DIR}/setup_call_test.cpp LIBS zpackwriter zui)
  add_dependencies(setup_call_test Zarpex32 setuphost)
  # Drive P: of the prefix is /proc, a file system without free space, for "not enough space".
  add_test(NAME discovery_full_drive
           COMMAND sh -c "ln -sfn /proc \"$0/dosdevices/p:\"" ${Z_WINEPREFIX})
  set_tests_properties(discovery_full_drive PROPERTIES FIXTURES_SETUP discovery_full_drive FIXTURES_REQUIRED wine)
  set_tests_properties(setup_call_test PROPERTIES FIXTURES_REQUIRED "wine;discovery_full_drive"
                       RESOURCE_LOCK zelvar_installation TIMEOUT 300)
  # The names of a setup call once more under a Polish system (ANSI 1250, OEM 852); the program and
  # setuphost inherit the locale.
  add_test(NAME setup_call_test_polish COMMAND setup_call_test --gtest_filter=SetupCall.NamesMatchByThePolishLetters)
  set_tests_properties(setup_call_test_polish PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=pl_PL.UTF-8;Z_TEST_OEM_CODE_PAGE=852"
                       FIXTURES_REQUIRED wine RESOURCE_LOCK zelvar_installation TIMEOUT 300)
  # A target with double-byte names under a Japanese system (ANSI and OEM 932).
  add_test(NAME setup_call_test_japanese COMMAND setup_call_test --gtest_filter=SetupCall.DoubleByteTargetIsRegisteredByWholeNames)
  set_tests_properties(setup_call_test_japanese PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${CMAKE_BINARY_DIR}/locales"
                       FIXTURES_REQUIRED "wine;japanese_locale" RESOURCE_LOCK zelvar_installation TIMEOUT 300)
endif()
