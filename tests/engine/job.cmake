# The unpack job and the worker thread, over packed files made with the project's packed-file writer.
# Under Wine the tests carry the program's string table.
if(TARGET zpackwriter)
  set(z_job_strings "")
  set(z_job_libs zpackwriter)
  if(WIN32)
    set(z_job_strings ${Z_ROOT}/tests/ui/message_texts_strings.rc)
  endif()
  z_add_gtest(job_test ${CMAKE_CURRENT_LIST_DIR}/job_test.cpp ${z_job_strings} LIBS ${z_job_libs})
  if(WIN32)
    # A target with double-byte names under a Japanese system (ANSI and OEM 932).
    add_test(NAME job_test_japanese COMMAND job_test --gtest_filter=*DoubleByte*)
    set_tests_properties(job_test_japanese PROPERTIES ENVIRONMENT "Z_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${CMAKE_BINARY_DIR}/locales"
                         FIXTURES_REQUIRED "wine;japanese_locale" TIMEOUT 300)
  endif()
  if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/worker_test.cpp)
    z_add_gtest(worker_test ${CMAKE_CURRENT_LIST_DIR}/worker_test.cpp ${z_job_strings} LIBS ${z_job_libs})
  endif()
endif()
