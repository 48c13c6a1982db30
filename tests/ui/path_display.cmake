# Path compaction; under Wine also the measuring of real controls.
z_add_gtest(path_display_test ${CMAKE_CURRENT_LIST_DIR}/path_display_test.cpp)
if(WIN32)
  # Shortening by whole characters under a Japanese system (ANSI 932).
  add_test(NAME path_display_test_japanese COMMAND path_display_test --gtest_filter=*DoubleByte*)
  set_tests_properties(path_display_test_japanese PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${CMAKE_BINARY_DIR}/locales"
                       FIXTURES_REQUIRED "wine;japanese_locale" TIMEOUT 300)
  z_add_gtest(count_fitting_chars_test ${CMAKE_CURRENT_LIST_DIR}/count_fitting_chars_win32_test.cpp LIBS zui)
endif()
