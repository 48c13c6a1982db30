# The platform seam on both sides: natively over mapped host folders, in the win32 build under Wine
# against the real system. Times are checked in UTC; code pages with a German system's OEM 850.
z_add_gtest(platform_test ${CMAKE_CURRENT_LIST_DIR}/platform_test.cpp)
if(WIN32)
  target_link_libraries(platform_test PRIVATE advapi32 user32)
endif()
set_tests_properties(platform_test PROPERTIES ENVIRONMENT "TZ=UTC;LC_ALL=de_DE.UTF-8")
if(WIN32)
  # Double-byte characters once under a Japanese system (ANSI and OEM 932), whose locale the build
  # makes for Wine in a folder of its own.
  set_tests_properties(platform_test PROPERTIES
                       ENVIRONMENT "TZ=UTC;LC_ALL=de_DE.UTF-8;GTEST_FILTER=-PlatformDoubleByteCodePages.*")
  add_test(NAME japanese_locale
           COMMAND sh -c "mkdir -p \"$0\" && localedef -i ja_JP -f UTF-8 \"$0/ja_JP.UTF-8\"" ${CMAKE_BINARY_DIR}/locales)
  set_tests_properties(japanese_locale PROPERTIES FIXTURES_SETUP japanese_locale)
  add_test(NAME platform_test_japanese COMMAND platform_test --gtest_filter=PlatformDoubleByteCodePages.*)
  set_tests_properties(platform_test_japanese PROPERTIES
                       ENVIRONMENT "Z_WINE_LOCALE=ja_JP.UTF-8;LOCPATH=${CMAKE_BINARY_DIR}/locales"
                       FIXTURES_REQUIRED "wine;japanese_locale" TIMEOUT 600)
endif()
