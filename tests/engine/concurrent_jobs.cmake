# Runs of the program at once against one archive tree, as real processes: Zarpex32.exe under Wine
# (with setuphost for the stop query), forked setup-call jobs natively.
if(TARGET zpackwriter)
  if(WIN32 AND EXISTS ${Z_ROOT}/discovery/program_entry_win32.cpp)
    z_add_gtest(concurrent_jobs_test ${CMAKE_CURRENT_LIST_DIR}/concurrent_jobs_test.cpp
                ${Z_ROOT}/tests/ui/message_texts_strings.rc LIBS zpackwriter zui)
    add_dependencies(concurrent_jobs_test Zarpex32 setuphost)
    set_tests_properties(concurrent_jobs_test PROPERTIES RESOURCE_LOCK zelvar_installation
                         ENVIRONMENT "GTEST_FILTER=-TwoMachines.*")
    # Two machines: the build's prefix and a second one, both reaching one folder through Z:.
    add_test(NAME concurrent_jobs_two_machines
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/two_machines.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(concurrent_jobs_two_machines PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600
                         RESOURCE_LOCK zelvar_installation)
  elseif(NOT WIN32)
    z_add_gtest(concurrent_jobs_test ${CMAKE_CURRENT_LIST_DIR}/concurrent_jobs_test.cpp LIBS zpackwriter)
  endif()
endif()
