# Fuzzers of every other reader of outside input (clang, libFuzzer): the record rewriting behind the
# extraction's write callback, the record merge and the locator's record reading on the native seam,
# the tag lists, and the command lines with the control text. The portable sources of zcore are
# built once more with the coverage instrumentation into zcore_fuzz, which these fuzzers and the
# packed-file fuzzer link instead of zcore.
if(Z_FUZZ AND NOT WIN32 AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  file(GLOB z_fuzz_core_sources CONFIGURE_DEPENDS ${Z_ROOT}/engine/*.cpp ${Z_ROOT}/discovery/*.cpp
                                                ${Z_ROOT}/ui/*.cpp)
  list(FILTER z_fuzz_core_sources EXCLUDE REGEX "_win32\\.cpp$")
  add_library(zcore_fuzz STATIC ${z_fuzz_core_sources})
  target_include_directories(zcore_fuzz PUBLIC ${Z_ROOT})
  target_compile_options(zcore_fuzz PUBLIC -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined)
  target_link_libraries(zcore_fuzz PUBLIC zplatform)

  # Seed corpora in the fuzzers' input layouts, from the sample archive's record files.
  add_executable(fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/fuzz_seeds.cpp)
  set(z_fuzz_seed_stamp ${CMAKE_CURRENT_BINARY_DIR}/fuzz_seeds.stamp)
  add_custom_command(OUTPUT ${z_fuzz_seed_stamp}
                     COMMAND fuzz_seeds ${Z_SAMPLE_DIR} ${CMAKE_CURRENT_BINARY_DIR}
                     COMMAND ${CMAKE_COMMAND} -E touch ${z_fuzz_seed_stamp}
                     DEPENDS fuzz_seeds
                     COMMENT "Seed corpora of the record, merge, tag list and command-line fuzzers")
  add_custom_target(fuzz_seed_corpora ALL DEPENDS ${z_fuzz_seed_stamp})

  # name, seconds in the test run, largest input
  foreach(z_fuzzer fuzz_records:30:20000 fuzz_record_merge:30:12000 fuzz_tag_list:20:2000 fuzz_command_line:20:3000)
    string(REPLACE ":" ";" z_fuzzer ${z_fuzzer})
    list(GET z_fuzzer 0 z_name)
    list(GET z_fuzzer 1 z_seconds)
    list(GET z_fuzzer 2 z_max_len)
    add_executable(${z_name} ${CMAKE_CURRENT_LIST_DIR}/${z_name}.cpp)
    target_link_libraries(${z_name} PRIVATE zcore_fuzz)
    target_link_options(${z_name} PRIVATE -fsanitize=fuzzer,address,undefined)
    add_dependencies(${z_name} fuzz_seed_corpora)
    add_test(NAME ${z_name} COMMAND ${z_name} -max_total_time=${z_seconds} -timeout=10 -rss_limit_mb=2048
                                   -max_len=${z_max_len} ${CMAKE_CURRENT_BINARY_DIR}/${z_name}_corpus)
    set_tests_properties(${z_name} PROPERTIES LABELS fuzz TIMEOUT 180)
  endforeach()
endif()
