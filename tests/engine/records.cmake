# Archive directory records: batching, path rewriting, top-level test, merge.
z_add_gtest(records_test ${CMAKE_CURRENT_LIST_DIR}/records_test.cpp)
if(WIN32)
  # The merge's letters once more under a Polish system (ANSI 1250, OEM 852).
  add_test(NAME records_test_polish COMMAND records_test --gtest_filter=MergeTest.NamesMatchByThePolishOemLetters)
  set_tests_properties(records_test_polish PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=pl_PL.UTF-8;Z_TEST_OEM_CODE_PAGE=852"
                       FIXTURES_REQUIRED wine TIMEOUT 600)
endif()
