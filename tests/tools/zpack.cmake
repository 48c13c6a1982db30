# zpack's behaviour as a tool: names in the packed file's code page, extraction that stays inside its
# directory, failures that clean up and say why, and its command-line conventions.
if(TARGET zpacktool)
  z_add_gtest(zpack_behaviour_test ${CMAKE_CURRENT_LIST_DIR}/zpack_behaviour_test.cpp LIBS zpacktool)
  if(WIN32)
    # Double-byte names verified through the ANSI names of a Japanese system (932).
    add_test(NAME zpack_behaviour_test_japanese COMMAND zpack_behaviour_test --gtest_filter=*DoubleByte*)
    set_tests_properties(zpack_behaviour_test_japanese PROPERTIES
                         ENVIRONMENT "Z_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${CMAKE_BINARY_DIR}/locales"
                         FIXTURES_REQUIRED "wine;japanese_locale" TIMEOUT 300)
  endif()
endif()

# From the native zpack to Zarpex32 under Wine: names beyond ASCII arrive as they were.
# (Zarpex32 is defined after the tests folder: its source decides, as in the other Windows tests.)
if(WIN32 AND EXISTS ${Z_ROOT}/discovery/program_entry_win32.cpp)
  if(Z_HOST_ZPACK)
    set(z_names_zpack ${Z_HOST_ZPACK})
  else()
    set(z_names_zpack ${Z_ROOT}/build/native/tools/zpack/zpack)
  endif()
  add_test(NAME zpack_names_wine
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/zpack_names_wine.sh ${z_names_zpack} ${CMAKE_BINARY_DIR}/wine-run
                   $<TARGET_FILE:Zarpex32> ${CMAKE_BINARY_DIR}/zpack_names ${Z_WINEPREFIX}/drive_c)
  set_tests_properties(zpack_names_wine PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endif()

# zpack verify against the sample installed by the engine's own extraction.
if(TARGET zpacktool)
  z_add_gtest(zpack_verify_test ${CMAKE_CURRENT_LIST_DIR}/zpack_verify_test.cpp LIBS zpacktool)
  add_dependencies(zpack_verify_test zsample)
endif()
