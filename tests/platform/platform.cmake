# The platform seam on both sides: natively over mapped host folders, in the win32 build under Wine
# against the real system. Times are checked in UTC; code pages with a German system's OEM 850.
z_add_gtest(platform_test ${CMAKE_CURRENT_LIST_DIR}/platform_test.cpp)
if(WIN32)
  target_link_libraries(platform_test PRIVATE advapi32 user32)
endif()
set_tests_properties(platform_test PROPERTIES ENVIRONMENT "TZ=UTC;LC_ALL=de_DE.UTF-8")
