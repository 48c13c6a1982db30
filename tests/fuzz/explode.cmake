# fuzz_explode: the decoder's sources are built into the fuzzer itself, so that they carry the
# coverage instrumentation; the fuzzer flags stay on this target and nothing else.
if(Z_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(fuzz_explode ${CMAKE_CURRENT_LIST_DIR}/fuzz_explode.cpp ${Z_ROOT}/engine/explode.cpp
                              ${Z_ROOT}/engine/explode_tables.cpp)
  target_include_directories(fuzz_explode PRIVATE ${Z_ROOT})
  target_compile_options(fuzz_explode PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(fuzz_explode PRIVATE -fsanitize=fuzzer,address,undefined)

  # Seed corpus, made at build time with the encoder; libFuzzer adds what it finds to the same folder.
  add_executable(fuzz_explode_seeds ${CMAKE_CURRENT_LIST_DIR}/fuzz_explode_seeds.cpp)
  target_link_libraries(fuzz_explode_seeds PRIVATE zimplode)
  set(z_fuzz_explode_corpus ${CMAKE_CURRENT_BINARY_DIR}/fuzz_explode_corpus)
  add_custom_command(OUTPUT ${z_fuzz_explode_corpus}/stream_1_2
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${z_fuzz_explode_corpus}
                     COMMAND fuzz_explode_seeds ${z_fuzz_explode_corpus}
                     DEPENDS fuzz_explode_seeds
                     COMMENT "Seed corpus for fuzz_explode")
  add_custom_target(fuzz_explode_corpus ALL DEPENDS ${z_fuzz_explode_corpus}/stream_1_2)

  add_test(NAME fuzz_explode COMMAND fuzz_explode -max_total_time=60 -timeout=10 -rss_limit_mb=2048
                                     -max_len=20000 ${z_fuzz_explode_corpus})
  set_tests_properties(fuzz_explode PROPERTIES LABELS fuzz TIMEOUT 180)
endif()
