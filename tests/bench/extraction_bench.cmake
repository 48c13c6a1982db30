# Extraction against plain writes of the same tree: natively with Google Benchmark, and as a small
# program for Wine (built in the cross build only, not run by ctest: wine-run tests/bench/extraction_wine.exe).
# The job's claim, merge locks and log against the whole job under Wine: tests/bench/job_wine.exe.
# The whole setup-call job against xcopy of the same tree under Wine: tests/bench/job_against_xcopy.sh.
if(Z_BENCH AND NOT WIN32 AND TARGET zpackwriter)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(extraction_bench ${CMAKE_CURRENT_LIST_DIR}/extraction_bench.cpp)
    target_link_libraries(extraction_bench PRIVATE zpackwriter zcore benchmark::benchmark)
  endif()
endif()
if(WIN32 AND TARGET zpackwriter)
  add_executable(extraction_wine ${CMAKE_CURRENT_LIST_DIR}/extraction_wine.cpp)
  target_link_libraries(extraction_wine PRIVATE zpackwriter zcore)
  # The whole job against its claim, merge locks and log, in one run: wine-run tests/bench/job_wine.exe.
  add_executable(job_wine ${CMAKE_CURRENT_LIST_DIR}/job_wine.cpp ${Z_ROOT}/tests/ui/message_texts_strings.rc)
  target_link_libraries(job_wine PRIVATE zpackwriter zui zcore)
endif()
