# Path and string utilities.
z_add_gtest(path_utils_test ${CMAKE_CURRENT_LIST_DIR}/path_utils_test.cpp)
if(WIN32)
  # The folding once more under a Polish system (ANSI 1250).
  add_test(NAME path_utils_test_polish COMMAND path_utils_test --gtest_filter=PathUtils.CaseFoldingMatchesCharUpper)
  set_tests_properties(path_utils_test_polish PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=pl_PL.UTF-8;Z_TEST_ANSI_CODE_PAGE=1250"
                       FIXTURES_REQUIRED wine TIMEOUT 600)
  # Splitting by whole characters under a Japanese system (ANSI 932).
  add_test(NAME path_utils_test_japanese COMMAND path_utils_test --gtest_filter=DoubleByte.*)
  set_tests_properties(path_utils_test_japanese PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${CMAKE_BINARY_DIR}/locales"
                       FIXTURES_REQUIRED "wine;japanese_locale" TIMEOUT 300)
endif()
