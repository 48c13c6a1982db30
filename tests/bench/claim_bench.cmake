# The target claim and the serialised record merge against the whole job, natively (Google Benchmark).
if(Z_BENCH AND NOT WIN32 AND TARGET zpackwriter)
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(claim_bench ${CMAKE_CURRENT_LIST_DIR}/claim_bench.cpp)
    target_link_libraries(claim_bench PRIVATE zpackwriter zcore benchmark::benchmark)
  endif()
endif()
